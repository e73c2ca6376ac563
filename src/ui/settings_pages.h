// The settings pages made only of bound controls: 基本信息, 数据文件, 默认内容 and
// 宝贝描述. Each is laid out from the binding's controls and owns no state of its own.
#pragma once

class QWidget;

namespace vt::ui {

class SettingsBinding;

QWidget* MakeBasicPage(SettingsBinding& binding, QWidget* parent);
QWidget* MakeDataFilesPage(SettingsBinding& binding, QWidget* parent);
QWidget* MakeDefaultContentPage(SettingsBinding& binding, QWidget* parent);
QWidget* MakeDescriptionPage(SettingsBinding& binding, QWidget* parent);

}  // namespace vt::ui
