#include "options/QtText.h"

#include "platform/SystemCodePage.h"

QString FromSystemText(const std::string& text) {
    auto utf16 = SystemCodePageToUtf16(text);
    return utf16 ? QString::fromStdU16String(*utf16)
                 : QString::fromLatin1(text.data(), qsizetype(text.size()));
}

std::string ToSystemText(const QString& text) {
    auto bytes = Utf16ToSystemCodePage(text.toStdU16String());
    return bytes ? *bytes : text.toLatin1().toStdString();
}

QString WithoutMnemonic(const char* text) {
    QString s = QString::fromUtf8(text);
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) ++i;  // "&&" keeps one ampersand
        out += s[i];
    }
    return out;
}
