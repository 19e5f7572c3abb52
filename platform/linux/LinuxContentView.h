#pragma once
// A view that holds other views, one above the other, on a GtkOverlay: a subview shows at its
// natural size in the top left corner until it is pinned, then it fills the view.
// Main thread only.

#include "platform/View.h"
#include "platform/linux/GObjectPtr.h"
#include "platform/linux/LinuxWidget.h"

namespace platform {

class LinuxContentView final : public View, public LinuxWidget {
public:
    LinuxContentView();
    ~LinuxContentView() override;

    GtkWidget* widget() const override { return overlay_.get(); }

protected:
    void addSubviewImpl(View& child) override;
    void removeSubviewImpl(View& child) override;
    void pinSubviewImpl(View& child) override;

private:
    gtk::GObjectPtr<GtkWidget> overlay_;
};

} // namespace platform
