#include "ui/settings_pages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "ui/settings_binding.h"
#include "ui/settings_layout.h"

namespace vt::ui {
namespace {

constexpr int kNumberWidth = 60;

QVBoxLayout* Column(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 12, 12, 12);
    return layout;
}

}  // namespace

QWidget* MakeBasicPage(SettingsBinding& b, QWidget* parent) {
    auto* page = new QWidget(parent);
    auto* layout = Column(page);

    // Two columns of check boxes: the publishing options, then the picture and data ones.
    auto* checks = new QGridLayout();
    const char* left[] = {"PriceSet5P",        "DirectSentP",     "HasFapiaoP", "HasBaoXiuP",
                          "RemoveLastKuoHaoP", "VantrellZiShouP", "CheckStock", "CheckByOuterCode"};
    const char* right[] = {"CHKIsbnForPicName", "CHKNeedNoPicBook", "CHKNoPicBookData",
                           "CHKNoDownPic",      "CHKFiltData",      "DiscripToMobleP"};
    int r = 0;
    for (const char* key : left) checks->addWidget(b.check(key), r++, 0);
    r = 0;
    for (const char* key : right) checks->addWidget(b.check(key), r++, 1);
    checks->setColumnStretch(1, 1);
    layout->addLayout(checks);

    QGroupBox* point = Group("商家卖点设置", page);
    AddRow(point, Row(page, {b.radio("MaidianShezhiP", 0), b.radio("MaidianShezhiP", 1)}));
    AddRow(point, Row(page, {"自定义卖点内容", b.edit("DiyContentP")}));
    b.edit("DiyContentP")->setMinimumWidth(420);
    layout->addWidget(point);

    QGroupBox* stock = Group("普通店铺减库存设置", page);
    AddRow(stock, Row(page, {b.radio("PaixiajiankucunP", 0), b.radio("PaixiajiankucunP", 1)}));
    layout->addWidget(stock);

    layout->addLayout(Row(page,
                          {"采集页数从", b.edit("StartPageFrom"), "到", b.edit("CaiJiYeShu"), "页"},
                          kNumberWidth));

    QGroupBox* range = Group("采集价格范围", page);
    AddRow(range, Row(page,
                      {b.radio("PriceRangeBasis", 0), b.radio("PriceRangeBasis", 1), "从",
                       b.edit("PriceRangeFrom"), "到", b.edit("PriceRangeTo"), "元"},
                      kNumberWidth));
    layout->addWidget(range);

    QGroupBox* network = Group("网络", page);
    AddRow(network, Row(page,
                        {"页面读取失败时重试", b.edit("RetryCount"), "次；连续",
                         b.edit("SiteDownFailures"), "次无法访问网站时停止采集（0为不停止）"},
                        kNumberWidth));
    AddRow(network, Row(page,
                        {"页面最大", b.edit("MaxPageKB"), "KB；图片最大", b.edit("MaxPictureKB"),
                         "KB（超过则拒绝）"},
                        kNumberWidth));
    layout->addWidget(network);
    layout->addStretch(1);
    return page;
}

QWidget* MakeDataFilesPage(SettingsBinding& b, QWidget* parent) {
    auto* page = new QWidget(parent);
    auto* layout = Column(page);
    QGroupBox* files = Group("需要生成的数据文件", page);
    for (const char* key : {"CHKTaobao", "CHKTaobao5", "CHKEcshop", "CHKShopex", "CHKExcel"})
        files->layout()->addWidget(b.check(key));
    layout->addWidget(files);
    layout->addStretch(1);
    return page;
}

QWidget* MakeDefaultContentPage(SettingsBinding& b, QWidget* parent) {
    auto* page = new QWidget(parent);
    auto* layout = Column(page);
    auto* note = new QLabel(QStringLiteral("内容提要、编辑推荐、目录、作者介绍、文摘以及序言，"
                                           "这些项目采集不到内容时默认采用以下内容"),
                            page);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addWidget(b.textBox("DefaultContentText"), 1);
    return page;
}

QWidget* MakeDescriptionPage(SettingsBinding& b, QWidget* parent) {
    auto* page = new QWidget(parent);
    auto* layout = Column(page);
    layout->addWidget(new QLabel(QStringLiteral("前缀："), page));
    layout->addWidget(b.textBox("PrefixText"), 1);
    layout->addWidget(new QLabel(QStringLiteral("后缀："), page));
    layout->addWidget(b.textBox("SuffixText"), 1);
    layout->addLayout(Row(page, {b.check("TopAddPicP"), b.check("FootAddPicP")}));
    return page;
}

}  // namespace vt::ui
