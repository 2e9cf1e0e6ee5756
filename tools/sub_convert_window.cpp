#include "tools/sub_convert_window.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "platform/qt/text.h"
#include "settings/registry_settings.h"
#include "tools/window_parts.h"

namespace {

using platform::qt::toQt;

}  // namespace

TSubConvertForm::TSubConvertForm(Services services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
    setObjectName("TSubConvertForm");
    setWindowTitle("[CD-i] Subtitle Conversion");
    setModal(true);
    setFixedSize(330, 330);
    Title = MakeControl<QLabel>(this, "Title", 12, 8, 306, 18);
    QFont bold = Title->font();
    bold.setBold(true);
    Title->setFont(bold);
    Comments = MakeControl<QLabel>(this, "Comments", 12, 28, 306, 18);
    SubFileList = MakeControl<QListWidget>(this, "SubFileList", 12, 52, 306, 150);
    SubFileList->setSelectionMode(QAbstractItemView::MultiSelection);
    SRTSUBBox = MakeControl<QGroupBox>(this, "SRTSUBBox", 12, 208, 306, 70);
    srtButton = MakeControl<QRadioButton>(SRTSUBBox, "srtButton", 10, 20, 280, 20);
    subButton = MakeControl<QRadioButton>(SRTSUBBox, "subButton", 10, 42, 280, 20);
    OKButton = MakeControl<QPushButton>(this, "OKButton", 150, 290, 80, 26);
    CancelButton = MakeControl<QPushButton>(this, "CancelButton", 238, 290, 80, 26);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
    connect(srtButton, &QRadioButton::clicked, this, [this] { SRTSUBBoxClick(); });
    connect(subButton, &QRadioButton::clicked, this, [this] { SRTSUBBoxClick(); });
    ApplyLanguage();
    LoadConversionChoice();
    OKButton->setEnabled(false);
}

TSubConvertForm::~TSubConvertForm() = default;

void TSubConvertForm::ApplyLanguage() {
    const TLanguageSet* t = services_.texts;
    Title->setText("Subtitle Conversion");
    Comments->setText("Select the subtitles to extract and convert");
    OKButton->setText(toQt(t ? t->component(msg::component::kOk) : "OK"));
    CancelButton->setText(toQt(t ? t->component(msg::component::kCancel) : "Cancel"));
    SRTSUBBox->setTitle(toQt(t ? t->component(msg::component::kExtraction) : "Output"));
    srtButton->setText("Convert to SRT format");
    subButton->setText("Convert to SUB format");
}

void TSubConvertForm::LoadConversionChoice() {
    int32_t choice = 0;
    if (platform::Registry* r = services_.registry; r && r->openKey(kSettingsKey, false)) {
        choice = r->readInteger("ConvertSRTorSUB").value_or(0);
        r->closeKey();
    }
    (choice == 1 ? subButton : srtButton)->setChecked(true);
}

void TSubConvertForm::SaveConversionChoice() {
    if (platform::Registry* r = services_.registry; r && r->openKey(kSettingsKey, true)) {
        r->writeInteger("ConvertSRTorSUB", subButton->isChecked() ? 1 : 0);
        r->closeKey();
    }
}

void TSubConvertForm::SRTSUBBoxClick() { SaveConversionChoice(); }

void TSubConvertForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TSubConvertForm::Open(const std::string& path, bool plain, const CdiGeometry& geometry) {
    source_ = std::make_unique<TFileIO>();
    scanner_ = std::make_unique<TCdiSubtitleScanner>(source_.get());
    plainFile_ = plain ? 1 : 0;
    if (source_->OpenForRead(path) != 0) {
        source_.reset();
        scanner_.reset();
        if (services_.report) services_.report(kMsgError, msg::error::kCannotOpen, path);
        return;
    }
    if (plain) {
        scanner_->names = {ExtractName(path)};
        const uint64_t size = std::min<uint64_t>(source_->Size(), INT32_MAX);
        scanner_->entries[ExtractName(path)] = TCdiFileEntry{0, 0, static_cast<int32_t>(size), 0};
    } else {
        scanner_->FindCdiDirectory(*source_, geometry);
    }
    OKButton->setEnabled(!scanner_->names.empty());
    for (const std::string& name : scanner_->names) {
        SubFileList->addItem(toQt(name));
        SubFileList->item(SubFileList->count() - 1)->setSelected(true);
    }
}

void TSubConvertForm::FormShow() {
    SubFileList->clear();
    OKButton->setEnabled(false);
    if (mode_ == 1) {
        OpenDialog.Title = "Open";
        OpenDialog.Filter = kOpenFilter;
        if (!services_.fileDialogs || !services_.fileDialogs->executeOpen(OpenDialog)) return;
        // The first entry is a disc image; every other one takes the file
        // as a plain subtitle stream.
        if (OpenDialog.FilterIndex == 1)
            Open(OpenDialog.FileName, false, kCdiRawGeometry);
        else
            Open(OpenDialog.FileName, true, kCdiRawGeometry);
        return;
    }
    const std::optional<CdiGeometry> geometry = CdiGeometryForMethod(job_.methodIndex);
    if (!geometry) return;
    Open(job_.sourceName, false, *geometry);
}

void TSubConvertForm::OKButtonClick() {
    if (!scanner_ || !source_) return;
    std::string dir;
    if (mode_ == 1) {
        dir = ".";
        if (!services_.fileDialogs || !services_.fileDialogs->selectDirectory("Select output directory :", dir))
            return;
    } else {
        dir = job_.outputFolder;
    }
    bool all = true;
    for (int i = 0; i < SubFileList->count(); ++i) {
        if (!SubFileList->item(i)->isSelected()) continue;
        const std::string name = scanner_->names[static_cast<size_t>(i)];
        const TCdiFileEntry e = scanner_->entries[name];
        const CdiConvertResult r = scanner_->ConvertCdiSubtitleFile(*source_, plainFile_ != 0, dir, name, e.extentLE,
                                                                    e.lengthLE, subButton->isChecked());
        if (r.code != 0) {
            all = false;
            if (!scanner_->clashLine.empty() && services_.log) {
                services_.log->add(scanner_->clashLine);
                services_.log->scrollToEnd();
            }
            if (services_.report) services_.report(kMsgError, r.code, r.name);
        }
    }
    if (all && services_.log) {
        services_.log->add("CD-i subtitle(s) converted.");
        services_.log->scrollToEnd();
    }
    accept();
}

void TSubConvertForm::FormClose() {
    if (source_) source_->Close();
    source_.reset();
    scanner_.reset();
}

void TSubConvertForm::done(int result) {
    FormClose();
    QDialog::done(result);
}
