// The window's texts from the language set, so that a language file
// translates the window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/video_cd_page/video_cd_page.h"
#include "app/main_window/main_window.h"
#include "core/result_codes.h"
#include "disc/vcd_track_list.h"
#include "platform/qt/text.h"

using platform::qt::toQt;

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void SetCaption(QWidget* w, const std::string& text) {
    const QString t = toQt(text);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(t);
    else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
    else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(t);
}

}  // namespace

void TForm1::ApplyLanguageCaptions() {
    if (!languageSet) return;
    const TLanguageSet& L = *languageSet;
    using namespace msg::component;
    auto C = [&](int i) { return L.component(i); };
    auto P = [&](int i) { return L.core(i); };

    // The build grid's header cells first: a language chosen in the options
    // window changes them at once, not at the next start.
    if (vcdTrackList) vcdTrackList->SetHeaders(languageSet.get());

    enum Suffix { kNone, kBlankColon, kColon, kLower };
    struct Row {
        QWidget* control;
        std::string text;
        Suffix suffix;
    };
    const Row rows[] = {
        {extractionPage->startButton, C(kStart), kNone},
        {videoCdPage->startVCDButton, C(kStart), kNone},
        {videoCdPage->addTrackButton, C(kAddTrack), kNone},
        {videoCdPage->removeTrackButton, C(kRemoveTrack), kNone},
        {videoCdPage->clearListButton, C(kClearTrackList), kNone},
        {logPage->clearPanel, C(kClear), kNone},
        {logPage->copyPanel, C(kCopy), kNone},
        {extractionPage->browseButton, C(kLoad), kNone},
        {videoCdPage->saveButton, C(kSave), kNone},
        {taskButton, C(kTask), kLower},
        {docButton, C(kDocumentation), kLower},
        {optionsButton, C(kOptions), kLower},
        {aboutButton, C(kAbout), kLower},
        {extractionPage->fixErrorCheckBox, C(kFixMpegErrors), kNone},
        {extractionPage->bumperCheckBox, C(kRemoveBumper), kNone},
        {extractionPage->forceRead, C(kForceReadSize), kNone},
        {extractionPage->forceWrite, C(kForceWriteSize), kNone},
        {extractionPage->toastCheckBox, C(kToastOutput), kNone},
        {extractionPage->trackZeroBox, C(kIncludeTrackZero), kNone},
    };
    auto apply = [](const Row& r) {
        switch (r.suffix) {
            case kNone: SetCaption(r.control, r.text); break;
            case kBlankColon: SetCaption(r.control, r.text + " :"); break;
            case kColon: SetCaption(r.control, r.text + ":"); break;
            case kLower: SetCaption(r.control, Lower(r.text)); break;
        }
    };
    for (const Row& r : rows) apply(r);

    if (extractionPage->forceRead->isChecked()) extractionPage->sectorReadField->setText(QString::number(MainJob->forcedReadSize));
    if (extractionPage->forceWrite->isChecked()) extractionPage->sectorWriteField->setText(QString::number(MainJob->forcedWriteSize));

    const Row more[] = {
        {videoCdPage->videoRes, C(kResolution), kBlankColon},
        {videoCdPage->vidBitrate, C(kVideoBitrate), kBlankColon},
        {videoCdPage->audInfo, C(kAudio), kBlankColon},
        {videoCdPage->audBitrate, C(kAudioBitrate), kBlankColon},
        {extractionPage->compLabel1, C(kCompleted), kColon},
        {videoCdPage->compLabel2, C(kCompleted), kColon},
        {videoCdPage->volNameLabel, C(kVolumeName), kColon},
        {videoCdPage->trackPauseLabel, C(kTrackPause), kColon},
        {videoCdPage->spanLabel, C(kSpanImagesAt), kColon},
        {videoCdPage->imgNone, C(kDontSpan), kNone},
        {videoCdPage->folderLabel, C(kSeparateFolders), kNone},
        {extractionPage->FixLabel, C(kFixes), kColon},
        {extractionPage->SplitLabel, C(kSplits), kColon},
        {extractionPage->PaddingLabel, C(kPadding), kColon},
        {videoCdPage->VCDOptionLink, "[+] " + C(kVcdOptions), kNone},
        {videoCdPage->yesSample, P(msg::core::kYes), kNone},
        {videoCdPage->noSample, P(msg::core::kNo), kNone},
        {videoCdPage->yesFolder, P(msg::core::kYes), kNone},
        {videoCdPage->noFolder, P(msg::core::kNo), kNone},
        {videoCdPage->imgNumLabel, C(kImageNumber), kColon},
        {videoCdPage->totalImageTime, C(kTotalPlaytime), kColon},
        {videoCdPage->namingLabel, "<< " + C(kMultiFileNaming), kNone},
    };
    for (const Row& r : more) apply(r);
    extractionPage->namingLabel2->setText(videoCdPage->namingLabel->text());

    const Row groups[] = {
        {videoCdPage->addSampleLabel, C(kAddSampleClip), kNone},
        {extractionPage->sfvCheck, C(kSfvCheckFirst), kNone},
        {extractionPage->ExtractionGroup, C(kExtraction), kNone},
        {extractionPage->TrackListGroup, C(kTrackList), kNone},
        {videoCdPage->VCDMethodGroup, C(kVcdMethod), kNone},
        {videoCdPage->vidInfoGroup, C(kVideoTrackInfo), kNone},
        {videoCdPage->VCDTrackListGroup, C(kVcdTrackList), kNone},
        {videoCdPage->AdditionGroup, C(kAdditionalOptions), kNone},
        {extractionPage->AdditionGroup2, C(kAdditionalOptions), kNone},
        {extractionPage->PassiveBox, C(kPassive), kNone},
        {extractionPage->batchTask, C(kPreviousOutputAsInput), kNone},
    };
    for (const Row& r : groups) apply(r);

    for (int i = 0; i < 3 && i < taskBox->count(); ++i)
        taskBox->item(i)->setText(toQt("> " + L.text(LangSection::TASK_MENU_MSGS, i)));
    for (int i = 0; i < 4 && i < docBox->count(); ++i)
        docBox->item(i)->setText(toQt("> " + L.text(LangSection::DOCUMENT_MENU_MSGS, i)));
    utilBox->item(0)->setText(QStringLiteral("> Sample Clip Editor"));
}

void TForm1::ApplyLanguageHints() {
    if (!languageSet) return;
    using namespace msg::hint;
    const struct {
        QWidget* control;
        int index;
    } hints[] = {
        {extractionPage->methodBox, kMethod},
        {extractionPage->fixErrorCheckBox, kFixMpegErrors},
        {extractionPage->bumperCheckBox, kRemoveBumper},
        {extractionPage->forceRead, kForceReadSize},
        {extractionPage->forceWrite, kForceWriteSize},
        {extractionPage->toastCheckBox, kToastOutput},
        {extractionPage->trackZeroBox, kIncludeTrackZero},
        {extractionPage->browseButton, kLoad},
        {extractionPage->startButton, kStart},
        {videoCdPage->buildVCDMethod, kVcdMethod},
        {videoCdPage->addTrackButton, kAddTrack},
        {videoCdPage->removeTrackButton, kRemoveTrack},
        {videoCdPage->moveTrackUp, kMoveTrackUp},
        {videoCdPage->moveTrackDown, kMoveTrackDown},
        {videoCdPage->clearListButton, kClearTrackList},
        {videoCdPage->startVCDButton, kStart},
        {transferJobButton, kTransferJob},
        {videoCdPage->trackPauseLabel, kTrackPause},
        {videoCdPage->spanLabel, kSpanImages},
        {videoCdPage->folderLabel, kSeparateFolders},
        {extractionPage->PassiveBox, kPassive},
        {extractionPage->batchTask, kPreviousOutput},
        {logPage->clearPanel, kClearLog},
        {logPage->copyPanel, kCopyLog},
        {extractionPage->previewButton, kPreview},
        {ClearButton, kClearPage},
    };
    for (const auto& h : hints) h.control->setToolTip(toQt(languageSet->hint(h.index)));
}
