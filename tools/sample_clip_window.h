// "Sample Clip Editor": the window over the editor's model, with the
// preview in ActiveMovie1.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/media_player.h"
#include "tools/sample_clip.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTableWidget;
class QToolButton;
class TLanguageSet;
struct TConfig;
struct TJob;

class TSampleCreateForm : public QDialog {
    Q_OBJECT
public:
    struct Services {
        TConfig* config = nullptr;
        TJob* job = nullptr;
        const TLanguageSet* texts = nullptr;
        platform::FileDialogs* fileDialogs = nullptr;
        platform::Dialogs* dialogs = nullptr;
        // Errors through the main window's reporter (kind, index, text).
        std::function<int(int, int, const std::string&)> report;
        // The preview; none: the Qt player.
        platform::MediaPlayer* player = nullptr;
    };
    // Makes the player of editors given none (tests put a recording one here).
    static std::function<std::unique_ptr<platform::MediaPlayer>(QWidget* parent, QWidget** video)> playerFactory;

    explicit TSampleCreateForm(Services services, QWidget* parent = nullptr);
    ~TSampleCreateForm() override;

    int OpenMpegFile(const std::string& path);
    int OpenTrackList(const std::vector<std::vector<std::string>>& grid, const std::vector<TSampleSourceRow>& rows);
    // Build-list mode on the video-cd page's list.
    int OpenTrackList(const TVcdTrackList& list, const TMpegFileList& files, int32_t discKind);
    void ResetEditor();
    TSampleClipEditor& model() { return *model_; }
    platform::MediaPlayer& player() { return *player_; }

    // Handlers the controls call.
    void SeekBarChange();
    void vidTCUpDownClick(bool up);
    void markButtonClick();
    void clearButtonClick();
    void Button30Click();
    void Button60Click();
    void ButtonRandomClick();
    void randomButtonClick();
    void okButtonClick();
    void cancelButtonClick();
    void TrackListGridClick();
    void FilenameTextExit();
    void FilenameTextChange();
    void SaveSampleButtonClick();
    void PreviewCheckBoxClick();
    void MsgLabelClick();
    void ApplyLanguage();

    QGroupBox *VCDTrackListGroup = nullptr, *CurTimeCodeBox = nullptr, *SamplePlaytimeBox = nullptr,
              *SelectedTimesBox = nullptr, *FilenameLabelBox = nullptr;
    QTableWidget* TrackListGrid = nullptr;
    QSlider* SeekBar = nullptr;
    QLineEdit *CurrentTC = nullptr, *SampleTC = nullptr, *FilenameText = nullptr;
    QWidget *vidTCUpDown = nullptr, *sampleUpDown = nullptr;
    QToolButton *vidTCUp = nullptr, *vidTCDown = nullptr;
    QLabel *InLabel = nullptr, *OutLabel = nullptr, *StartPosLabel = nullptr, *SampleLengthLabel = nullptr,
           *TimeLabel = nullptr, *DurationL = nullptr, *MsgLabel = nullptr, *CommentsLabel = nullptr;
    QPushButton *markButton = nullptr, *clearButton = nullptr, *Button30 = nullptr, *Button60 = nullptr,
                *ButtonRandom = nullptr, *randomButton = nullptr, *SaveSampleButton = nullptr, *okButton = nullptr,
                *cancelButton = nullptr, *Button1 = nullptr;
    QCheckBox* PreviewCheckBox = nullptr;
    QWidget* ActiveMovie1 = nullptr;

    // Escape and the close box are Cancel.
    void reject() override { cancelButtonClick(); }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();
    void Close(int result);

    Services services_;
    std::unique_ptr<platform::MediaPlayer> ownPlayer_;
    platform::MediaPlayer* player_ = nullptr;
    std::unique_ptr<TSampleClipEditor> model_;
    bool refreshing_ = false;
};
