#pragma once
// One command of the page as a bridge handler gets it: the parsed command URL and the reply
// handle that answers it. The dispatcher builds the handle from the screen's web view and the
// value of the command's first "callback" item.
//
// A handler that answers at once uses `reply` in place; one that answers later (from another
// thread, after a dialog, after a server call) moves or copies `reply` into whatever answers.
// A plain value, safe to move to any thread.

#include "base/PageReply.h"
#include "webcontainer/CommandURL.h"

struct BridgeRequest {
    CommandURL url;
    PageReply reply;
};
