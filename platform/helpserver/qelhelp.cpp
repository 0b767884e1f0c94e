// qelhelp: the help server.  Started by the context-help client as
// "qelhelp -server -display <name>", it detaches, makes its window public
// on the root window ("Target Window", and "Help Server Started" = 1),
// signals its starter with SIGUSR2, and then shows, in one reusable window,
// the text of each help id that a "Client Request Help" client message
// (format 16, the id in the first short) asks for.  (The ready signal goes
// only to a starter that takes it.)  The window's shown text
// is also kept in its "Help Text" property.  When it ends it clears "Help
// Server Started", provided the public window is still its own.

#include "helptext.h"

#include "vxcat.h"
#include "vxmsg.h"

#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/Protocols.h>
#include <Xm/PushB.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>
#include <X11/Shell.h>
#include <X11/Xatom.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "helpserver_msgs.def"
#undef VXMSG

namespace {

nl_catd catd = NL_NO_CATALOGUE;
Display *dpy = nullptr;
Window root = 0;
Widget shell = nullptr, title_label = nullptr, text = nullptr;
HelpTexts texts;
Atom a_started, a_target, a_request, a_text;
int quit_pipe[2] = {-1, -1};

template <class... A>
void report(const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    fputs(vx_msgf(catd, m, args...).c_str(), stderr);
    fflush(stderr);
}

std::string client_dir()
{
    if (const char *dir = vx_client_dir_env())
        return dir;
    // Else the tree this program is installed in: <dir>/bin/qelhelp.
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "/usr/tqlclients";
    self[n] = '\0';
    std::string p = self;
    for (int i = 0; i < 2; i++) {
        size_t slash = p.rfind('/');
        p = slash == std::string::npos || slash == 0 ? "/" : p.substr(0, slash);
    }
    return p;
}

// help/<language>/vostrelane.help, else help/C/vostrelane.help.
std::string find_help_file()
{
    std::string dir = client_dir() + "/help/";
    const char *lang = getenv("LANG");
    struct stat st;
    if (lang && *lang && !strchr(lang, '/')) {
        std::string p = dir + lang + "/vostrelane.help";
        if (stat(p.c_str(), &st) == 0)
            return p;
    }
    return dir + "C/vostrelane.help";
}

long read_long_property(Atom prop, Atom want_type)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    long value = 0;
    if (XGetWindowProperty(dpy, root, prop, 0, 1, False, want_type, &type, &format, &count, &after, &data) ==
            Success &&
        type == want_type && format == 32 && count == 1 && data)
        value = *reinterpret_cast<long *>(data);
    if (data)
        XFree(data);
    return value;
}

bool bad_window = false;
int note_bad_window(Display *, XErrorEvent *ev)
{
    if (ev->error_code == BadWindow)
        bad_window = true;
    return 0;
}

// True when a live server has already made its window public.
bool other_server_running()
{
    if (read_long_property(a_started, XA_INTEGER) != 1)
        return false;
    Window w = static_cast<Window>(read_long_property(a_target, XA_WINDOW));
    if (w == 0)
        return false;
    XSync(dpy, False);
    bad_window = false;
    XErrorHandler old = XSetErrorHandler(note_bad_window);
    XWindowAttributes attr;
    Status ok = XGetWindowAttributes(dpy, w, &attr);
    XSync(dpy, False);
    XSetErrorHandler(old);
    return ok && !bad_window;
}

void show_help(int id)
{
    std::string title, body;
    auto it = texts.entries.find(id);
    if (it != texts.entries.end()) {
        title = it->second.title;
        body = it->second.body;
    } else {
        title = vx_msgf(catd, QH_TOPIC, id);
        body = vx_msgf(catd, QH_NO_TEXT, id);
    }
    XmString t = XmStringCreateLocalized(const_cast<char *>(title.c_str()));
    XtVaSetValues(title_label, XmNlabelString, t, nullptr);
    XmStringFree(t);
    XmTextSetString(text, const_cast<char *>(body.c_str()));
    XmTextShowPosition(text, 0);
    std::string window_title = vx_msgf(catd, QH_SHOWN_TITLE, title.c_str());
    XtVaSetValues(shell, XmNtitle, window_title.c_str(), nullptr);
    std::string shown = title + "\n" + body;
    XChangeProperty(dpy, XtWindow(shell), a_text, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(shown.c_str()), static_cast<int>(shown.size()));
    XMapRaised(dpy, XtWindow(shell));
    XFlush(dpy);
}

void client_message(Widget, XtPointer, XEvent *ev, Boolean *)
{
    if (ev->type == ClientMessage && ev->xclient.message_type == a_request && ev->xclient.format == 16)
        show_help(ev->xclient.data.s[0]);
}

void hide(Widget, XtPointer, XtPointer)
{
    XWithdrawWindow(dpy, XtWindow(shell), DefaultScreen(dpy));
    XFlush(dpy);
}

// Clears the public state, when it is still ours, and ends.
[[noreturn]] void finish(int status)
{
    if (dpy && shell) {
        if (static_cast<Window>(read_long_property(a_target, XA_WINDOW)) == XtWindow(shell)) {
            long zero = 0;
            XChangeProperty(dpy, root, a_started, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<unsigned char *>(&zero), 1);
            XDeleteProperty(dpy, root, a_target);
        }
        XSync(dpy, False);
    }
    _exit(status);
}

void on_quit_signal(int)
{
    char c = 'q';
    ssize_t n = write(quit_pipe[1], &c, 1);
    (void)n;
}

void quit_input(XtPointer, int *, XtInputId *) { finish(0); }

int io_error(Display *) { _exit(0); }

// The ready signal goes only to a starter that catches or blocks it: run
// by hand from a shell, whose default action for SIGUSR2 is to end, the
// server must not signal its parent.
bool starter_takes_usr2(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    unsigned long long bit = 1ULL << (SIGUSR2 - 1);
    bool takes = false;
    while (std::getline(in, line)) {
        if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigCgt:", 0) == 0) {
            unsigned long long mask = strtoull(line.c_str() + 7, nullptr, 16);
            if (mask & bit)
                takes = true;
        }
    }
    return takes;
}

[[noreturn]] void usage()
{
    report(QH_USAGE);
    exit(1);
}

}  // namespace

int main(int argc, char **argv)
{
    const char *display_name = nullptr;
    const char *file = nullptr;
    bool server = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "-server"))
            server = true;
        else if (!strcmp(argv[i], "-display") && i + 1 < argc)
            display_name = argv[++i];
        else if (!strcmp(argv[i], "-file") && i + 1 < argc)
            file = argv[++i];
        else
            usage();
    }
    int cat_status = 0;
    catd = open_msg_catalogue(client_dir().c_str(), "vostrelane", &cat_status);
    if (!server)
        usage();

    // The starter waits for this process to end: a detached child serves,
    // and tells this one through a pipe once its window is public.
    int ready[2];
    if (pipe(ready) != 0)
        return 1;
    pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid > 0) {
        close(ready[1]);
        char c = 0;
        ssize_t n;
        do
            n = read(ready[0], &c, 1);
        while (n < 0 && errno == EINTR);
        if (n == 1 && c == 'R') {
            if (starter_takes_usr2(getppid()))
                kill(getppid(), SIGUSR2);
            _exit(0);
        }
        _exit(1);
    }
    close(ready[0]);
    fcntl(ready[1], F_SETFD, FD_CLOEXEC);
    setsid();
    if (chdir("/") != 0) {
    }
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) {
        dup2(devnull, 0);
        close(devnull);
    }

    std::string path = file ? file : find_help_file();
    if (!read_help_file(path, texts))
        report(QH_NO_FILE, path.c_str());
    for (auto &p : texts.problems) {
        std::string what = p.kind == HelpProblem::BAD_ENTRY ? vx_msg(catd, QH_BAD_ENTRY) : vx_msgf(catd, QH_DUPLICATE, p.id);
        report(QH_FILE_PROBLEM, path.c_str(), p.line, what.c_str());
    }

    XtSetLanguageProc(nullptr, nullptr, nullptr);
    XtToolkitInitialize();
    XtAppContext app = XtCreateApplicationContext();
    int xargc = 1;
    char *xargv[] = {argv[0], nullptr};
    dpy = XtOpenDisplay(app, display_name, "qelhelp", "Qelhelp", nullptr, 0, &xargc, xargv);
    if (!dpy) {
        report(QH_NO_DISPLAY, display_name ? display_name : (getenv("DISPLAY") ? getenv("DISPLAY") : ""));
        _exit(1);
    }
    XSetIOErrorHandler(io_error);
    root = DefaultRootWindow(dpy);
    a_started = XInternAtom(dpy, "Help Server Started", False);
    a_target = XInternAtom(dpy, "Target Window", False);
    a_request = XInternAtom(dpy, "Client Request Help", False);
    a_text = XInternAtom(dpy, "Help Text", False);

    if (other_server_running()) {
        ssize_t n = write(ready[1], "R", 1);
        (void)n;
        _exit(0);
    }

    shell = XtVaAppCreateShell("qelhelp", "Qelhelp", topLevelShellWidgetClass, dpy, XmNmappedWhenManaged, False,
                               XmNdeleteResponse, XmDO_NOTHING, XmNtitle, vx_msg(catd, QH_WINDOW_TITLE),
                               XmNwidth, 520, XmNheight, 360, nullptr);
    Widget form = XtVaCreateManagedWidget("form", xmFormWidgetClass, shell, XmNmarginWidth, 6, XmNmarginHeight, 6,
                                          nullptr);
    title_label = XtVaCreateManagedWidget("titleL", xmLabelWidgetClass, form, XmNtopAttachment, XmATTACH_FORM,
                                          XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                                          XmNalignment, XmALIGNMENT_BEGINNING, nullptr);
    XmString close_label = XmStringCreateLocalized(const_cast<char *>(vx_msg(catd, QH_CLOSE)));
    Widget close_button = XtVaCreateManagedWidget(
        "closeB", xmPushButtonWidgetClass, form, XmNlabelString, close_label, XmNbottomAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, 40, XmNrightAttachment, XmATTACH_POSITION,
        XmNrightPosition, 60, nullptr);
    XmStringFree(close_label);
    XtAddCallback(close_button, XmNactivateCallback, hide, nullptr);
    Arg args[8];
    int n = 0;
    XtSetArg(args[n], XmNeditMode, XmMULTI_LINE_EDIT); n++;
    XtSetArg(args[n], XmNeditable, False); n++;
    XtSetArg(args[n], XmNcursorPositionVisible, False); n++;
    XtSetArg(args[n], XmNwordWrap, True); n++;
    XtSetArg(args[n], XmNscrollHorizontal, False); n++;
    XtSetArg(args[n], XmNrows, 16); n++;
    XtSetArg(args[n], XmNcolumns, 64); n++;
    text = XmCreateScrolledText(form, const_cast<char *>("helpT"), args, static_cast<Cardinal>(n));
    XtVaSetValues(XtParent(text), XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, title_label,
                  XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, close_button, XmNbottomOffset, 6,
                  XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    XtManageChild(text);
    XtRealizeWidget(shell);
    Atom wm_delete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XmAddWMProtocolCallback(shell, wm_delete, hide, nullptr);
    XtAddEventHandler(shell, NoEventMask, True, client_message, nullptr);

    if (pipe(quit_pipe) == 0) {
        fcntl(quit_pipe[1], F_SETFL, O_NONBLOCK);
        XtAppAddInput(app, quit_pipe[0], reinterpret_cast<XtPointer>(XtInputReadMask), quit_input, nullptr);
        struct sigaction sa {};
        sa.sa_handler = on_quit_signal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }

    Window w = XtWindow(shell);
    long pid_value = getpid();
    XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&pid_value), 1);
    XChangeProperty(dpy, root, a_target, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char *>(&w), 1);
    long one = 1;
    XChangeProperty(dpy, root, a_started, XA_INTEGER, 32, PropModeReplace, reinterpret_cast<unsigned char *>(&one),
                    1);
    XSync(dpy, False);
    ssize_t wr = write(ready[1], "R", 1);
    (void)wr;
    close(ready[1]);

    XtAppMainLoop(app);
    finish(0);
}
