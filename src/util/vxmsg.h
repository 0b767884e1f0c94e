// Typed catalogue messages.
//
// Every message a module prints or shows is declared once, in the module's
// "<module>_msgs.def", with the types its callers pass:
//
//     VXMSG_CATALOGUE(vostrelane)
//     VXMSG(MAIN_BAD_FONTSET, 73, 4, nullptr, const char *)
//     VXMSG(QY_MSGGET_FAILED, 71, 1, "Error: msgget failed, errno = %d\n", int)
//
// (name, set, number, fallback text or nullptr, argument types...).  The
// module's header expands the file into typed constants:
//
//     #define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
//     #include "main_msgs.def"
//     #undef VXMSG
//
// so vx_msgf() only compiles with the declared argument types, and the
// message test checks every catalogue text (and fallback) against them.
// The fallback is for the few texts that must read sensibly with no
// catalogue at all (library errors on standard error).
#pragma once

#include <nl_types.h>

#include <cstddef>
#include <string>
#include <type_traits>

#ifndef VXMSG_CATALOGUE
#define VXMSG_CATALOGUE(name)
#endif

namespace vxmsg_detail {
// Argument classes as the printf family takes them after promotion:
// 'd' int-sized integer, 'l' long-sized integer, 'f' double, 's' string,
// 'p' pointer.
template <class T>
constexpr char arg_class()
{
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, const char *> || std::is_same_v<U, char *>)
        return 's';
    else if constexpr (std::is_floating_point_v<U>)
        return 'f';
    else if constexpr (std::is_integral_v<U> && sizeof(U) <= sizeof(int))
        return 'd';
    else if constexpr (std::is_integral_v<U>)
        return 'l';
    else if constexpr (std::is_pointer_v<U>)
        return 'p';
    else
        static_assert(sizeof(U) == 0, "catalogue messages take ints, longs, doubles, strings or pointers");
}

template <class... A>
struct Signature {
    static constexpr char value[sizeof...(A) + 1] = {arg_class<A>()..., '\0'};
};
}  // namespace vxmsg_detail

template <class... A>
struct VxMsg {
    int set;
    int number;
    const char *fallback;
    static constexpr const char *signature() { return vxmsg_detail::Signature<A...>::value; }
};

// One row of a module's message registry (for the message test).
struct VxMsgInfo {
    const char *name;
    int set;
    int number;
    const char *signature;
    const char *fallback;
};

// The argument classes that the conversions of a printf format consume, in
// argument order ("%s: %d" gives "sd"; "%%" none; "*" widths give 'd').
// False when the format is malformed or uses conversions we never pass
// (%n, %ls, ...).
bool vx_format_signature(const char *format, std::string &signature);

// The text of a message: the catalogue's, else the fallback, else "".
const char *vx_msg_text(nl_catd cd, int set, int number, const char *fallback);

// Formats with a text whose conversions have already been checked.
std::string vx_msg_vformat(const char *text, ...);

// The message formatted with its arguments.  A catalogue text whose
// conversions do not fit the declared types is never handed to printf: the
// fallback is used instead, or the text is shown as it stands.
template <class... A>
std::string vx_msgf(nl_catd cd, const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    const char *text = vx_msg_text(cd, m.set, m.number, m.fallback);
    std::string sig;
    if (!vx_format_signature(text, sig) || sig != m.signature()) {
        if (m.fallback && text != m.fallback && vx_format_signature(m.fallback, sig) && sig == m.signature())
            text = m.fallback;
        else
            return text;
    }
    return vx_msg_vformat(text, args...);
}

// The bare text of an argument-less message (labels).
inline const char *vx_msg(nl_catd cd, const VxMsg<> &m) { return vx_msg_text(cd, m.set, m.number, m.fallback); }
