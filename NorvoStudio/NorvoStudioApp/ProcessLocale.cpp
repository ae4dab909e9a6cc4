#include "NorvoStudioApp/ProcessLocale.hpp"

#include <clocale>
#include <langinfo.h>
#include <string>
#include <strings.h>

#include <QtGlobal>

namespace norvo {

namespace {

bool charactersAreUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (::strcasecmp(codeset, "UTF-8") == 0 || ::strcasecmp(codeset, "utf8") == 0);
}

}  // namespace

void ProcessLocale::makeUniform() {
    if (!charactersAreUtf8()) {
        // The user's language with UTF-8 characters ("de_DE.ISO-8859-1" becomes
        // "de_DE.UTF-8"), else the C locale's UTF-8 twin that every Debian system has.
        const char* current = std::setlocale(LC_CTYPE, nullptr);
        std::string language = current ? current : "C";
        language = language.substr(0, language.find_first_of(".@"));
        const bool set = std::setlocale(LC_CTYPE, (language + ".UTF-8").c_str()) ||
                         std::setlocale(LC_CTYPE, "C.UTF-8") || std::setlocale(LC_CTYPE, "C.utf8");
        if (!set) qWarning("Norvo Studio: no UTF-8 locale is installed; window titles may show other characters");
    }
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace norvo
