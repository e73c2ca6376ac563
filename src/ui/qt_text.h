// The one place where the logic's GBK text meets Qt's UTF-16.
#pragma once

#include <QString>
#include <string>

namespace vt::ui {

QString Q(const std::string& gbk);
std::string Gbk(const QString& text);

}  // namespace vt::ui
