// The window's texts from the language set, so that a language file
// translates the window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app/main_window.h"
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
        {startButton, C(0), kNone},
        {startVCDButton, C(0), kNone},
        {addTrackButton, C(10), kNone},
        {removeTrackButton, C(11), kNone},
        {clearListButton, C(12), kNone},
        {clearPanel, C(13), kNone},
        {copyPanel, C(104), kNone},
        {browseButton, C(14), kNone},
        {saveButton, C(33), kNone},
        {taskButton, C(34), kLower},
        {docButton, C(72), kLower},
        {optionsButton, C(73), kLower},
        {aboutButton, C(74), kLower},
        {fixErrorCheckBox, C(5), kNone},
        {bumperCheckBox, C(6), kNone},
        {forceRead, C(7), kNone},
        {forceWrite, C(8), kNone},
        {toastCheckBox, C(9), kNone},
        {trackZeroBox, C(16), kNone},
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

    if (forceRead->isChecked()) sectorReadField->setText(QString::number(MainJob->forcedReadSize));
    if (forceWrite->isChecked()) sectorWriteField->setText(QString::number(MainJob->forcedWriteSize));

    const Row more[] = {
        {videoRes, C(2), kBlankColon},
        {vidBitrate, C(3), kBlankColon},
        {audInfo, C(101), kBlankColon},
        {audBitrate, C(102), kBlankColon},
        {compLabel1, C(4), kColon},
        {compLabel2, C(4), kColon},
        {volNameLabel, C(17), kColon},
        {trackPauseLabel, C(115), kColon},
        {spanLabel, C(116), kColon},
        {imgNone, C(117), kNone},
        {folderLabel, C(118), kNone},
        {FixLabel, C(91), kColon},
        {SplitLabel, C(92), kColon},
        {PaddingLabel, C(99), kColon},
        {VCDOptionLink, "[+] " + C(109), kNone},
        {yesSample, P(35), kNone},
        {noSample, P(36), kNone},
        {yesFolder, P(35), kNone},
        {noFolder, P(36), kNone},
        {imgNumLabel, C(119), kColon},
        {totalImageTime, C(120), kColon},
        {namingLabel, "<< " + C(135), kNone},
    };
    for (const Row& r : more) apply(r);
    namingLabel2->setText(namingLabel->text());

    const Row groups[] = {
        {addSampleLabel, C(143), kNone},
        {sfvCheck, C(148), kNone},
        {ExtractionGroup, C(18), kNone},
        {TrackListGroup, C(19), kNone},
        {VCDMethodGroup, C(20), kNone},
        {vidInfoGroup, C(21), kNone},
        {VCDTrackListGroup, C(22), kNone},
        {AdditionGroup, C(23), kNone},
        {AdditionGroup2, C(23), kNone},
        {PassiveBox, C(88), kNone},
        {batchTask, C(89), kNone},
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
        {methodBox, 0},          {fixErrorCheckBox, 1},   {bumperCheckBox, 2},   {forceRead, 3},
        {forceWrite, 4},         {toastCheckBox, 5},      {trackZeroBox, 7},     {browseButton, 8},
        {startButton, 9},        {buildVCDMethod, 10},    {addTrackButton, 11},  {removeTrackButton, 12},
        {moveTrackUp, 13},       {moveTrackDown, 14},     {clearListButton, 15}, {startVCDButton, 9},
        {transferJobButton, 16}, {trackPauseLabel, 23},   {spanLabel, 24},       {folderLabel, 25},
        {PassiveBox, 18},        {batchTask, 19},         {clearPanel, 20},      {copyPanel, 21},
        {previewButton, 22},     {ClearButton, 26},
    };
    for (const auto& h : hints) h.control->setToolTip(toQt(languageSet->hint(h.index)));
}
