#include "ui/qt_text.h"

#include "base/text.h"

namespace vt::ui {

QString Q(const std::string& gbk) {
    const std::u16string u16 = GbkToUtf16(gbk);
    return QString(reinterpret_cast<const QChar*>(u16.data()), static_cast<qsizetype>(u16.size()));
}

std::string Gbk(const QString& text) {
    return Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<std::size_t>(text.size())));
}

}  // namespace vt::ui
