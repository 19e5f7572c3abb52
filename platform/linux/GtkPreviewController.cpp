#include "platform/linux/GtkPreviewController.h"

#include "logger/Logger.h"
#include "platform/Platform.h"
#include "platform/URLOpener.h"
#include "platform/linux/GuardedCall.h"
#include "platform/linux/LinuxWindow.h"
#include "portable/FileURL.h"

#include <gio/gio.h>
#include <poppler.h>

namespace platform {
namespace {

constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;
// PDF pages are drawn at this many pixels per point.
constexpr double kPdfScale = 1.5;
// Text files larger than this show their beginning only.
constexpr gsize kTextLimit = 4 * 1024 * 1024;

std::string contentType(const std::filesystem::path& file)
{
    g_autoptr(GFile) handle = g_file_new_for_path(file.c_str());
    g_autoptr(GFileInfo) info =
        g_file_query_info(handle, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    const char* type = info ? g_file_info_get_content_type(info) : nullptr;
    return type ? type : "";
}

GtkWidget* imageContent(const std::filesystem::path& file)
{
    g_autoptr(GdkPixbuf) pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
    return pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : nullptr;
}

GtkWidget* pdfContent(const std::filesystem::path& file)
{
    g_autofree char* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    auto held = gtk::GObjectPtr<PopplerDocument>::adopt(poppler_document_new_from_file(uri, nullptr, nullptr));
    PopplerDocument* document = held.get();
    if (!document)
        return nullptr;
    GtkWidget* pages = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    for (int i = 0; i < poppler_document_get_n_pages(document); ++i) {
        auto heldPage = gtk::GObjectPtr<PopplerPage>::adopt(poppler_document_get_page(document, i));
        PopplerPage* page = heldPage.get();
        if (!page)
            continue;
        double width = 0;
        double height = 0;
        poppler_page_get_size(page, &width, &height);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width * kPdfScale),
                                                              static_cast<int>(height * kPdfScale));
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_scale(cr, kPdfScale, kPdfScale);
        poppler_page_render(page, cr);
        cairo_destroy(cr);
        gtk_box_pack_start(GTK_BOX(pages), gtk_image_new_from_surface(surface), FALSE, FALSE, 0);
        cairo_surface_destroy(surface);
    }
    return pages;
}

GtkWidget* textContent(const std::filesystem::path& file)
{
    g_autoptr(GFile) handle = g_file_new_for_path(file.c_str());
    g_autoptr(GFileInputStream) stream = g_file_read(handle, nullptr, nullptr);
    if (!stream)
        return nullptr;
    std::string bytes(kTextLimit, '\0');
    gsize read = 0;
    g_input_stream_read_all(G_INPUT_STREAM(stream), bytes.data(), bytes.size(), &read, nullptr, nullptr);
    bytes.resize(read);
    g_autofree char* text = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_monospace(GTK_TEXT_VIEW(view), TRUE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text, -1);
    return view;
}

} // namespace

GtkPreviewController::GtkPreviewController() = default;

GtkPreviewController::~GtkPreviewController()
{
    signals_.disconnectAll();
    if (window_)
        gtk_widget_destroy(window_.get());
}

GtkWindow* GtkPreviewController::visibleWindow() const
{
    return window_ && gtk_widget_get_visible(window_.get()) ? GTK_WINDOW(window_.get()) : nullptr;
}

void GtkPreviewController::presentImpl(const std::vector<std::filesystem::path>& items, std::size_t currentIndex)
{
    items_ = items;
    index_ = currentIndex;
    showCurrent();
}

void GtkPreviewController::step(int direction)
{
    const auto target = static_cast<std::ptrdiff_t>(index_) + direction;
    if (target < 0 || static_cast<std::size_t>(target) >= items_.size())
        return;
    index_ = static_cast<std::size_t>(target);
    showCurrent();
}

void GtkPreviewController::buildWindow()
{
    window_ = gtk::GObjectPtr<GtkWidget>::ref(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    GtkWindow* window = GTK_WINDOW(window_.get());
    gtk_window_set_default_size(window, kDefaultWidth, kDefaultHeight);
    // Closing only hides the window: the next preview shows it again.
    signals_.connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);

    GtkWidget* header = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header), TRUE);
    previous_ = gtk_button_new_from_icon_name("go-previous-symbolic", GTK_ICON_SIZE_BUTTON);
    next_ = gtk_button_new_from_icon_name("go-next-symbolic", GTK_ICON_SIZE_BUTTON);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), previous_);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), next_);
    title_ = header;
    gtk_window_set_titlebar(window, header);
    auto onStep = +[](GtkButton* button, gpointer data) {
        auto* self = static_cast<GtkPreviewController*>(data);
        gtk::guardedCall("preview step", [&] { self->step(GTK_WIDGET(button) == self->previous_ ? -1 : 1); });
    };
    signals_.connect(previous_, "clicked", G_CALLBACK(onStep), this);
    signals_.connect(next_, "clicked", G_CALLBACK(onStep), this);

    scroller_ = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(window), scroller_);
}

GtkWidget* GtkPreviewController::contentFor(const std::filesystem::path& file)
{
    const std::string type = contentType(file);
    if (g_str_has_prefix(type.c_str(), "image/")) {
        shown_ = Shown::image;
        return imageContent(file);
    }
    if (g_content_type_is_a(type.c_str(), "application/pdf")) {
        shown_ = Shown::pdf;
        return pdfContent(file);
    }
    if (g_content_type_is_a(type.c_str(), "text/plain")) {
        shown_ = Shown::text;
        return textContent(file);
    }
    return nullptr;
}

void GtkPreviewController::showCurrent()
{
    const std::filesystem::path file = items_.at(index_);
    shownFile_ = file;
    std::error_code error;
    GtkWidget* content = nullptr;
    if (!std::filesystem::exists(file, error)) {
        shown_ = Shown::missing;
        content = gtk_label_new(("“" + file.filename().string() + "” cannot be found.").c_str());
    } else {
        content = contentFor(file);
        if (!content) {
            // Not ours to show: the desktop's application for the type opens it.
            shown_ = Shown::handedToDesktop;
            LOG_DEBUG("preview: handing " + file.string() + " to the desktop");
            if (auto& opener = current().urlOpener)
                opener->open(fileURLString(file));
            return;
        }
    }
    if (!window_)
        buildWindow();
    if (GtkWidget* old = gtk_bin_get_child(GTK_BIN(scroller_)))
        gtk_container_remove(GTK_CONTAINER(scroller_), old);
    gtk_container_add(GTK_CONTAINER(scroller_), content);
    gtk_header_bar_set_title(GTK_HEADER_BAR(title_), file.filename().c_str());
    gtk_header_bar_set_subtitle(GTK_HEADER_BAR(title_),
                                (std::to_string(index_ + 1) + " / " + std::to_string(items_.size())).c_str());
    gtk_widget_set_sensitive(previous_, index_ > 0);
    gtk_widget_set_sensitive(next_, index_ + 1 < items_.size());
    if (GtkWindow* parent = LinuxWindow::keyGtkWindow())
        gtk_window_set_transient_for(GTK_WINDOW(window_.get()), parent);
    gtk_widget_show_all(window_.get());
    gtk_window_present(GTK_WINDOW(window_.get()));
}

} // namespace platform
