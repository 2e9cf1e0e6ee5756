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
    auto C = [&](int i) { return L.component(i); };
    auto P = [&](int i) { return L.core(i); };

    // Rewriting the build grid's headers belongs to the build list; the grid
    // keeps its own until then.

    enum Suffix { kNone, kBlankColon, kColon, kLower };
    struct Row {
        QWidget* control;
        std::string text;
        Suffix suffix;
    };
    const Row rows[] = {
        {extractionPage->startButton, C(0), kNone},
        {videoCdPage->startVCDButton, C(0), kNone},
        {videoCdPage->addTrackButton, C(10), kNone},
        {videoCdPage->removeTrackButton, C(11), kNone},
        {videoCdPage->clearListButton, C(12), kNone},
        {logPage->clearPanel, C(13), kNone},
        {logPage->copyPanel, C(104), kNone},
        {extractionPage->browseButton, C(14), kNone},
        {videoCdPage->saveButton, C(33), kNone},
        {taskButton, C(34), kLower},
        {docButton, C(72), kLower},
        {optionsButton, C(73), kLower},
        {aboutButton, C(74), kLower},
        {extractionPage->fixErrorCheckBox, C(5), kNone},
        {extractionPage->bumperCheckBox, C(6), kNone},
        {extractionPage->forceRead, C(7), kNone},
        {extractionPage->forceWrite, C(8), kNone},
        {extractionPage->toastCheckBox, C(9), kNone},
        {extractionPage->trackZeroBox, C(16), kNone},
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
        {videoCdPage->videoRes, C(2), kBlankColon},
        {videoCdPage->vidBitrate, C(3), kBlankColon},
        {videoCdPage->audInfo, C(101), kBlankColon},
        {videoCdPage->audBitrate, C(102), kBlankColon},
        {extractionPage->compLabel1, C(4), kColon},
        {videoCdPage->compLabel2, C(4), kColon},
        {videoCdPage->volNameLabel, C(17), kColon},
        {videoCdPage->trackPauseLabel, C(115), kColon},
        {videoCdPage->spanLabel, C(116), kColon},
        {videoCdPage->imgNone, C(117), kNone},
        {videoCdPage->folderLabel, C(118), kNone},
        {extractionPage->FixLabel, C(91), kColon},
        {extractionPage->SplitLabel, C(92), kColon},
        {extractionPage->PaddingLabel, C(99), kColon},
        {videoCdPage->VCDOptionLink, "[+] " + C(109), kNone},
        {videoCdPage->yesSample, P(35), kNone},
        {videoCdPage->noSample, P(36), kNone},
        {videoCdPage->yesFolder, P(35), kNone},
        {videoCdPage->noFolder, P(36), kNone},
        {videoCdPage->imgNumLabel, C(119), kColon},
        {videoCdPage->totalImageTime, C(120), kColon},
        {videoCdPage->namingLabel, "<< " + C(135), kNone},
    };
    for (const Row& r : more) apply(r);
    extractionPage->namingLabel2->setText(videoCdPage->namingLabel->text());

    const Row groups[] = {
        {videoCdPage->addSampleLabel, C(143), kNone},
        {extractionPage->sfvCheck, C(148), kNone},
        {extractionPage->ExtractionGroup, C(18), kNone},
        {extractionPage->TrackListGroup, C(19), kNone},
        {videoCdPage->VCDMethodGroup, C(20), kNone},
        {videoCdPage->vidInfoGroup, C(21), kNone},
        {videoCdPage->VCDTrackListGroup, C(22), kNone},
        {videoCdPage->AdditionGroup, C(23), kNone},
        {extractionPage->AdditionGroup2, C(23), kNone},
        {extractionPage->PassiveBox, C(88), kNone},
        {extractionPage->batchTask, C(89), kNone},
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
    const struct {
        QWidget* control;
        int index;
    } hints[] = {
        {extractionPage->methodBox, 0},          {extractionPage->fixErrorCheckBox, 1},   {extractionPage->bumperCheckBox, 2},   {extractionPage->forceRead, 3},
        {extractionPage->forceWrite, 4},         {extractionPage->toastCheckBox, 5},      {extractionPage->trackZeroBox, 7},     {extractionPage->browseButton, 8},
        {extractionPage->startButton, 9},        {videoCdPage->buildVCDMethod, 10},    {videoCdPage->addTrackButton, 11},  {videoCdPage->removeTrackButton, 12},
        {videoCdPage->moveTrackUp, 13},       {videoCdPage->moveTrackDown, 14},     {videoCdPage->clearListButton, 15}, {videoCdPage->startVCDButton, 9},
        {transferJobButton, 16}, {videoCdPage->trackPauseLabel, 23},   {videoCdPage->spanLabel, 24},       {videoCdPage->folderLabel, 25},
        {extractionPage->PassiveBox, 18},        {extractionPage->batchTask, 19},         {logPage->clearPanel, 20},      {logPage->copyPanel, 21},
        {extractionPage->previewButton, 22},     {ClearButton, 26},
    };
    for (const auto& h : hints) h.control->setToolTip(toQt(languageSet->hint(h.index)));
}
