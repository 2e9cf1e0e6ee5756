// The video-cd page of the main window: the build list grid and its
// buttons, the facts of the current row, spanning, the image buttons, the
// track pause, the folder choice, the naming and volume-name boxes and the
// output (or cif/nrg source) button. The rules live in TBuildListEditor;
// this class reads and sets the controls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/video_cd_page/build_list_editor.h"
#include "disc/mpeg_file_list.h"
#include "disc/vcd_track_list.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTableWidget;
class QWidget;
class TClickLabel;
class TForm1;

namespace platform::qt {
class QtStringGrid;
}

class TVideoCdPage {
public:
    // Made by the window once its job and options exist.
    // capacity and margin: image capacity and margin overrides for tests
    // (negative: the program's own).
    TVideoCdPage(TForm1& window, int64_t capacity, int64_t margin);
    ~TVideoCdPage();

    // Handlers, under the window's names.
    void TrackListGridClick();
    void removeTrackButtonClick();
    void moveTrackUpClick();
    void moveTrackDownClick();
    void AdjustImageSpan();
    void UpdateImageButtons();
    void IncreaseImageClick();
    void ReduceImageClick();
    void TrackPauseBarClick();
    void pauseTimeMsgChange();
    void yesFolderClick();
    void noFolderClick();
    void namingLabelClick();
    void volumeExpandButtonClick();
    void saveButtonClick();
    void clearListButtonClick();

    // loadButton's video-cd part for MPEG files (methods 0 and 1): every
    // name is tried, refusals are reported; the first non-zero result.
    int AddFiles(const std::vector<std::string>& names);
    // loadButton on this page: the open dialog (several MPEG files, or one
    // cif or nrg image) and the adding or the image's track scan.
    int LoadFromDialog();
    // The page's part of a reset: list and rows emptied, labels and boxes
    // as for an empty list.
    void ResetControls();
    // List and rows emptied (FreeScanObjects).
    void ClearList();
    // The controls that change the list or the image options, usable or not
    // (off while any job runs).
    void SetEditingUsable(bool on);
    // Start is usable for MPEG methods only while the list has entries.
    void UpdateStart();
    void SetTexts();

    int Rows() const { return rows_->RowCount(); }
    TMpegFileList& List() { return *list_; }
    TVcdTrackList& TrackRows() { return *rows_; }
    TBuildListEditor& Editor() { return *editor_; }
    // The file of the first selected row, empty when none.
    std::string SelectedFile() const;
    // Track lengths of a loaded cif or nrg source.
    std::vector<int64_t> imageTrackLengths;

private:
    bool MpegMethod() const;
    // Nothing may change the list: a job runs or its worker is still ending.
    bool Locked() const;
    // The test capacity counts only while a spanning is chosen.
    void ApplyCapacity();
    // What the page does after files were added or the list was made anew.
    void AfterAdd();
    void EmptyListControls();
    void ShowEmptyFacts();

    TForm1& w_;
    // The page's controls (the window builds them).
    QComboBox* buildVCDMethod;
    QCheckBox *VCDCheckBox, *SVCDCheckBox;
    QLabel *videoRes, *vidBitrate, *audInfo, *audBitrate, *imgNumLabel, *totalImageTime;
    QTableWidget* TrackListGrid;
    QPushButton *addTrackButton, *removeTrackButton, *IncreaseImage, *ReduceImage, *moveTrackUp, *moveTrackDown,
        *playTrackButton, *clearListButton;
    QLineEdit *volName, *pauseTimeMsg, *saveFileField;
    QPushButton* volumeExpandButton;
    QScrollBar* TrackPauseBar;
    QRadioButton *imgNone, *imgCustom, *img74, *img80, *yesSample, *noSample, *yesFolder, *noFolder;
    QPushButton *OpenSampleButton, *saveButton, *startVCDButton;
    TClickLabel* namingLabel;

    std::unique_ptr<platform::qt::QtStringGrid> grid_;
    std::unique_ptr<platform::CheckBox> vcdBox_, svcdBox_, imgNoneBox_, img74Box_, img80Box_, imgCustomBox_;
    std::unique_ptr<platform::Edit> pauseEdit_;
    std::unique_ptr<platform::Label> imgNumHandle_, totalTimeHandle_;
    std::unique_ptr<TMpegFileList> list_;
    std::unique_ptr<TVcdTrackList> rows_;
    std::unique_ptr<TBuildListEditor> editor_;
    // Set while the list and its rows are being changed: the grid's
    // selection signals then wait for the change to finish.
    bool busy_ = false;
    int64_t capacity_ = -1;
    struct Busy {
        explicit Busy(bool& flag) : f(flag), was(flag) { f = true; }
        ~Busy() { f = was; }
        bool& f;
        bool was;
    };
};
