#pragma once

namespace norvo {

// The C library's locale for a studio whose texts are UTF-8 and English whatever the
// user's language. Qt reads and writes every 8-bit text as UTF-8 and takes the rest of
// the locale from the environment, where a fresh system sets nothing: the POSIX locale,
// whose characters are ASCII. What follows the C library's characters (the window title
// that window managers and tests read from WM_NAME, composed keys, host names given to
// the resolver) would then disagree with what Qt shows. Numbers that C functions print
// into sentences and read from configuration files always use a point.
struct ProcessLocale {
    // After QApplication's construction, which has taken the locale from the environment.
    // Other categories (collation, messages, time) stay as the user set them.
    static void makeUniform();
};

}  // namespace norvo
