#include "platform/keyboard_layout.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QStringList>
#include <QWidget>

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(GLOSSA_HAVE_X11) && QT_CONFIG(xcb)
#define GLOSSA_USE_XKB 1
#include <QtGui/qguiapplication_platform.h>
// Xlib's macros (None, Bool, KeyPress, ...) clash with Qt names: include it last.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#endif

using namespace Qt::StringLiterals;

namespace xkb {

namespace {

constexpr int MaxGroups = 4;

// "ru(phonetic):2" -> name "ru", group 1; "us" -> name "us", group -1 (none given);
// a group outside 1-4 gives -2.
struct LayoutToken {
    QStringView name;
    int group = -1;
};

LayoutToken parseToken(QStringView token)
{
    LayoutToken parsed;
    if (const qsizetype colon = token.indexOf(u':'); colon >= 0) {
        bool ok = false;
        const int number = token.mid(colon + 1).toInt(&ok);
        parsed.group = ok && number >= 1 && number <= MaxGroups ? number - 1 : -2;
        token = token.left(colon);
    }
    if (const qsizetype paren = token.indexOf(u'('); paren >= 0)
        token = token.left(paren);
    parsed.name = token.trimmed();
    return parsed;
}

bool isRussianLayout(QStringView name)
{
    return name == u"ru";
}

} // namespace

int russianGroupFromSymbols(const QString &symbolsName)
{
    QString names = symbolsName;
    names.replace(u'|', u'+');
    for (const QStringView token : QStringView(names).split(u'+', Qt::SkipEmptyParts)) {
        const LayoutToken parsed = parseToken(token);
        if (!isRussianLayout(parsed.name))
            continue;
        if (parsed.group == -1)
            return 0; // the first layout carries no group number
        if (parsed.group >= 0)
            return parsed.group;
    }
    return -1;
}

int russianGroupFromGroupNames(const QStringList &groupNames)
{
    for (int i = 0; i < groupNames.size() && i < MaxGroups; ++i) {
        const QString &name = groupNames.at(i);
        if (name == u"Russian" || name.startsWith(u"Russian ("_s) || name == u"ru")
            return i;
    }
    return -1;
}

int russianGroupFromLayoutList(const QString &layouts)
{
    const QList<QStringView> list = QStringView(layouts).split(u',');
    for (int i = 0; i < list.size() && i < MaxGroups; ++i) {
        if (isRussianLayout(parseToken(list.at(i)).name))
            return i;
    }
    return -1;
}

} // namespace xkb

#ifdef GLOSSA_USE_XKB
namespace {

Display *x11Display()
{
    if (!qGuiApp || QGuiApplication::platformName() != u"xcb")
        return nullptr;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

QString atomName(Display *display, Atom atom)
{
    if (atom == None)
        return {};
    char *name = XGetAtomName(display, atom);
    if (!name)
        return {};
    const QString result = QString::fromUtf8(name);
    XFree(name);
    return result;
}

// The layout list of the rules names the keymap was built from ("us,ru").
QString rulesLayouts(Display *display)
{
    const Atom property = XInternAtom(display, "_XKB_RULES_NAMES", True);
    if (property == None)
        return {};
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1024, False, XA_STRING, &type,
                           &format, &count, &remaining, &data)
            != Success
        || !data)
        return {};
    const auto freeData = qScopeGuard([data] { XFree(data); });
    if (type != XA_STRING || format != 8)
        return {};
    // rules, model, layouts, variants, options, each ended by a zero byte
    const QList<QByteArray> fields = QByteArray(reinterpret_cast<const char *>(data), qsizetype(count)).split('\0');
    return fields.size() > 2 ? QString::fromLatin1(fields.at(2)) : QString();
}

int findRussianGroup(Display *display)
{
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor))
        return -1;

    XkbDescPtr keyboard = XkbAllocKeyboard();
    if (!keyboard)
        return -1;
    const auto freeKeyboard = qScopeGuard([keyboard] { XkbFreeKeyboard(keyboard, 0, True); });
    keyboard->device_spec = XkbUseCoreKbd;

    int groupCount = XkbNumKbdGroups;
    if (XkbGetControls(display, XkbAllControlsMask, keyboard) == Success && keyboard->ctrls
        && keyboard->ctrls->num_groups > 0)
        groupCount = keyboard->ctrls->num_groups;

    // The symbols name tells which layout each group of the loaded keymap holds;
    // the group names and the rules names stand in where a server leaves it out.
    int group = -1;
    if (XkbGetNames(display, XkbSymbolsNameMask | XkbGroupNamesMask, keyboard) == Success && keyboard->names) {
        group = xkb::russianGroupFromSymbols(atomName(display, keyboard->names->symbols));
        if (group < 0) {
            QStringList groupNames;
            for (int i = 0; i < XkbNumKbdGroups; ++i)
                groupNames.append(atomName(display, keyboard->names->groups[i]));
            group = xkb::russianGroupFromGroupNames(groupNames);
        }
    }
    if (group < 0)
        group = xkb::russianGroupFromLayoutList(rulesLayouts(display));
    return group < groupCount ? group : -1;
}

int lockedGroup(Display *display)
{
    XkbStateRec state {};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return -1;
    return state.locked_group;
}

void lockGroup(Display *display, int group)
{
    XkbLockGroup(display, XkbUseCoreKbd, unsigned(group));
    XFlush(display);
}

} // namespace
#endif

RussianKeyboardLayout::RussianKeyboardLayout(QWidget *mainWindow)
    : QObject(mainWindow)
    , m_window(mainWindow)
{
}

RussianKeyboardLayout::~RussianKeyboardLayout()
{
    restoreUserGroup();
}

void RussianKeyboardLayout::activate()
{
    if (m_activated)
        return;
    m_activated = true;
#if defined(Q_OS_WIN)
    LoadKeyboardLayoutW(L"00000419", KLF_ACTIVATE);
#elif defined(GLOSSA_USE_XKB)
    Display *display = x11Display();
    if (!display || !m_window)
        return;
    m_russianGroup = findRussianGroup(display);
    if (m_russianGroup < 0)
        return;
    m_window->installEventFilter(this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &RussianKeyboardLayout::restoreUserGroup);
    if (m_window->isActiveWindow())
        lockRussianGroup();
#endif
}

bool RussianKeyboardLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowActivate)
            lockRussianGroup();
        else if (event->type() == QEvent::WindowDeactivate)
            restoreUserGroup();
    }
    return QObject::eventFilter(watched, event);
}

void RussianKeyboardLayout::lockRussianGroup()
{
#ifdef GLOSSA_USE_XKB
    Display *display = x11Display();
    if (!display || m_russianGroup < 0)
        return;
    if (m_userGroup < 0) {
        m_userGroup = lockedGroup(display);
        if (m_userGroup < 0)
            return; // without the user's group there is nothing to give back later
    }
    lockGroup(display, m_russianGroup);
#endif
}

void RussianKeyboardLayout::restoreUserGroup()
{
#ifdef GLOSSA_USE_XKB
    if (m_userGroup < 0)
        return;
    if (Display *display = x11Display())
        lockGroup(display, m_userGroup);
#endif
    m_userGroup = -1;
}
