#include "X11Windows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kivo {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// One short-lived connection to $DISPLAY.
class Connection
{
public:
    Connection() : m_c(xcb_connect(nullptr, &m_screen))
    {
        if (xcb_connection_has_error(m_c))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; it.rem && i < m_screen; ++i)
            xcb_screen_next(&it);
        m_root = it.rem ? it.data->root : 0;
    }
    ~Connection() { xcb_disconnect(m_c); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool ok() const { return m_root != 0; }
    xcb_connection_t *c() const { return m_c; }
    xcb_window_t root() const { return m_root; }

    xcb_atom_t atom(const char *name) const
    {
        const Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 1, uint16_t(std::strlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // A property's raw bytes, at most 64 KiB.
    QByteArray property(xcb_window_t w, xcb_atom_t name, xcb_atom_t type) const
    {
        if (name == XCB_ATOM_NONE)
            return {};
        const Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, name, type, 0, 16384), nullptr));
        if (!r || r->format == 0)
            return {};
        return QByteArray(static_cast<const char *>(xcb_get_property_value(r.get())),
                          xcb_get_property_value_length(r.get())); // bytes
    }

    QList<xcb_window_t> windows(xcb_window_t w, xcb_atom_t name) const
    {
        const QByteArray bytes = property(w, name, XCB_ATOM_WINDOW);
        QList<xcb_window_t> out(bytes.size() / sizeof(xcb_window_t));
        if (!out.isEmpty())
            std::memcpy(out.data(), bytes.constData(), out.size() * sizeof(xcb_window_t));
        return out;
    }

    QList<xcb_window_t> children(xcb_window_t w) const
    {
        const Reply<xcb_query_tree_reply_t> r(
            xcb_query_tree_reply(m_c, xcb_query_tree(m_c, w), nullptr));
        if (!r)
            return {};
        const xcb_window_t *kids = xcb_query_tree_children(r.get());
        return QList<xcb_window_t>(kids, kids + xcb_query_tree_children_length(r.get()));
    }

    bool viewable(xcb_window_t w) const
    {
        const Reply<xcb_get_window_attributes_reply_t> r(
            xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, w), nullptr));
        return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    }

private:
    int m_screen = 0;
    xcb_connection_t *m_c;
    xcb_window_t m_root = 0;
};

bool classMatches(const QByteArray &wmClass, const QString &windowClass)
{
    if (windowClass.isEmpty())
        return false;
    // "instance\0class\0"
    for (const QByteArray &part : wmClass.split('\0')) {
        if (QString::fromLocal8Bit(part).compare(windowClass, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Without a window manager's list: the mapped top-level windows, and the
// children of those that carry no WM_CLASS (frames of a window manager that
// keeps no list).
QList<xcb_window_t> mappedTopLevels(const Connection &x, xcb_atom_t wmClass)
{
    QList<xcb_window_t> out;
    for (xcb_window_t w : x.children(x.root())) {
        if (!x.viewable(w))
            continue;
        if (!x.property(w, wmClass, XCB_ATOM_STRING).isEmpty())
            out << w;
        else
            out << x.children(w);
        if (out.size() >= X11Windows::kMaxWindows)
            break;
    }
    return out;
}

} // namespace

QList<quint32> X11Windows::find(const QString &windowClass, const QList<qint64> &pids)
{
    const Connection x;
    if (!x.ok())
        return {};
    const xcb_atom_t wmClass = x.atom("WM_CLASS");
    const xcb_atom_t wmPid = x.atom("_NET_WM_PID");
    QList<xcb_window_t> candidates = x.windows(x.root(), x.atom("_NET_CLIENT_LIST"));
    if (candidates.isEmpty())
        candidates = mappedTopLevels(x, wmClass);
    QList<quint32> found;
    for (xcb_window_t w : candidates.mid(0, kMaxWindows)) {
        bool match = classMatches(x.property(w, wmClass, XCB_ATOM_STRING), windowClass);
        if (!match && !pids.isEmpty()) {
            const QByteArray pid = x.property(w, wmPid, XCB_ATOM_CARDINAL);
            match =
                pid.size() == 4 && pids.contains(*reinterpret_cast<const quint32 *>(pid.data()));
        }
        if (match)
            found << w;
    }
    return found;
}

bool X11Windows::activate(quint32 window)
{
    const Connection x;
    if (!x.ok())
        return false;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = x.atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // as a pager would: the request comes from the user
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x.c(), 0, x.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    const bool managed = !x.windows(x.root(), x.atom("_NET_CLIENT_LIST")).isEmpty();
    xcb_map_window(x.c(), window);
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(x.c(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    // A managed window may still be iconified: focusing it would be refused.
    if (!managed || x.viewable(window))
        xcb_set_input_focus(x.c(), XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(x.c(), xcb_get_input_focus(x.c()), nullptr));
    return true;
}

} // namespace kivo
