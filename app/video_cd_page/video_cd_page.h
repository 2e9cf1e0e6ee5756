// The video-cd page of the main window: the build list grid and its
// buttons, the facts of the current row, spanning, the image buttons, the
// track pause, the folder choice, the naming and volume-name boxes and the
// output (or cif/nrg source) button. The rules live in TBuildListEditor;
// this class reads and sets the controls.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/video_cd_page/build_list_editor.h"
#include "disc/mpeg_file_list.h"
#include "disc/vcd_track_list.h"
#include "tools/sample_clip.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QProgressBar;
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
class TSampleCreateForm;

namespace platform::qt {
class QtStringGrid;
}

class TVideoCdPage {
public:
    // Lays the page's controls out on sheet with the window.
    TVideoCdPage(TForm1& window, QWidget* sheet);
    ~TVideoCdPage();
    // Once the window's job and options exist: the build list and its rows.
    // capacity and margin: image capacity and margin overrides for tests
    // (negative: the program's own).
    void Start(int64_t capacity, int64_t margin);

    // Handlers, under the window's names.
    void VCDOptionLinkClick();
    void VCDCheckBoxClick();
    void SVCDCheckBoxClick();
    void buildVCDMethodChange();
    void totalErrWarnings2Click();
    void playTrackButtonClick();
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
    void yesSampleClick();
    void noSampleClick();
    void OpenSampleButtonClick();
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

    // The clip a build adds: only with "Yes" ticked and a clip marked in
    // the window's editor.
    std::optional<TSampleClipDescription> SampleClip();
    // The marked clip as a task project stores it, and its file name; false
    // when the editor holds none.
    bool TakeSampleState(TSampleClipState& state, std::string& name);
    // A task project's clip, replayed over the loaded list when "Yes" is
    // ticked; false when it does not fit the list: then a warning, and "No".
    // savedNames: the project's files in its order, for finding the clip's
    // row again when some of them could not be added.
    bool ReplaySample(const TSampleClipState& state, const std::string& name,
                      const std::vector<std::string>& savedNames);

    int Rows() const { return rows_->RowCount(); }
    TMpegFileList& List() { return *list_; }
    TVcdTrackList& TrackRows() { return *rows_; }
    TBuildListEditor& Editor() { return *editor_; }
    // The file of the first selected row, empty when none.
    std::string SelectedFile() const;
    // Track lengths of a loaded cif or nrg source.
    std::vector<int64_t> imageTrackLengths;

    // Controls (object names as the window definition names them).
    QComboBox* buildVCDMethod = nullptr;
    QGroupBox* VCDMethodGroup = nullptr;
    QCheckBox *VCDCheckBox = nullptr, *SVCDCheckBox = nullptr;
    TClickLabel* VCDOptionLink = nullptr;
    QGroupBox* vidInfoGroup = nullptr;
    QLabel *videoRes = nullptr, *vidBitrate = nullptr, *audInfo = nullptr, *audBitrate = nullptr,
           *imgNumLabel = nullptr, *totalImageTime = nullptr;
    QGroupBox* VCDTrackListGroup = nullptr;
    QTableWidget* TrackListGrid = nullptr;
    QPushButton *addTrackButton = nullptr, *removeTrackButton = nullptr, *IncreaseImage = nullptr,
                *ReduceImage = nullptr, *moveTrackUp = nullptr, *moveTrackDown = nullptr, *playTrackButton = nullptr,
                *clearListButton = nullptr;
    QGroupBox* AdditionGroup = nullptr;
    QLabel *volNameLabel = nullptr, *trackPauseLabel = nullptr, *spanLabel = nullptr, *addSampleLabel = nullptr,
           *folderLabel = nullptr;
    QLineEdit *volName = nullptr, *pauseTimeMsg = nullptr;
    QPushButton* volumeExpandButton = nullptr;
    QScrollBar* TrackPauseBar = nullptr;
    QRadioButton *imgNone = nullptr, *imgCustom = nullptr, *img74 = nullptr, *img80 = nullptr;
    QRadioButton *yesSample = nullptr, *noSample = nullptr, *yesFolder = nullptr, *noFolder = nullptr;
    QPushButton* OpenSampleButton = nullptr;
    QLineEdit* saveFileField = nullptr;
    QPushButton *saveButton = nullptr, *startVCDButton = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QLabel *statusMsg2 = nullptr, *etaMsg2 = nullptr, *compLabel2 = nullptr;
    TClickLabel *totalErrWarnings2 = nullptr, *namingLabel = nullptr;
    QButtonGroup *spanGroup_ = nullptr, *sampleGroup_ = nullptr, *folderGroup_ = nullptr;

private:
    bool MpegMethod() const;
    // Nothing may change the list: a job runs or its worker is still ending.
    bool Locked() const;
    // The test capacity counts only while a spanning is chosen.
    void ApplyCapacity();
    // What the page does after files were added or the list was made anew.
    void AfterAdd();
    void EmptyListControls();
    // The editor closed without OK: "Yes" stays only with a marked clip of
    // this list.
    void AfterEditorCancel(TSampleCreateForm& editor);
    // A project's clip that cannot be replayed: logged and counted as a
    // warning.
    void ClipWarning(const std::string& name);
    // Rows were removed, moved or added anew: the editor's copy of the list is made
    // anew, the marked clip follows its file to its row, and goes ("No")
    // with its file.
    void FollowClip();
    void ShowEmptyFacts();

    void Layout(QWidget* sheet);
    void ConnectHandlers();

    TForm1& w_;
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
