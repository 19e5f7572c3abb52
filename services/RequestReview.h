#pragma once
// Asks for a rating of the application. The desktop's software centre is its store: while
// the application's window is active, its page there ("appstream://<bundle id>") is opened;
// nothing happens when the window is not active or no handler for that scheme is installed.
// Nothing is reported back. Main thread only.

class RequestReview {
public:
    static void requestReview();
};
