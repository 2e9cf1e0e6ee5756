// The extraction page of the main window: the method box and its options,
// the track list, the source row, the job row and the counters.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

#include "disc/track_table.h"
#include "engine/source_scan.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;
class TClickLabel;
class TForm1;
struct HandoffTasks;
struct TJobControls;

class TExtractionPage : public QObject {
public:
    // Lays the page's controls out on sheet and connects their handlers.
    TExtractionPage(TForm1& window, QWidget* sheet);
    ~TExtractionPage() override;

    // Option boxes.
    void methodBoxChange();
    void fixErrorCheckBoxClick();
    void bumperCheckBoxClick();
    void toastCheckBoxClick();
    void PassiveBoxClick();
    void forceOptionClick();
    // Counters and preview.
    void totalErrWarningsClick();
    void previewButtonClick();

    // Source loading (source_loading.cpp): 0 loaded, 4 the source cannot be
    // opened or read, 5 no video tracks, 12 cancelled.
    int loadButton();
    void loadButtonClick();
    void TrackListBoxClick();
    void trackZeroBoxClick();
    void sectorReadFieldExit();
    void sectorWriteFieldExit();
    // The batch hand-off (app/main_window/batch_handoff.cpp).
    void batchTaskClick();
    void batchSignalChange();

    // Job start and stop of both job pages (job_start.cpp).
    void startButtonClick();
    // 0 go on, 3 the user declined to write with too little space.
    int verifyDiskSpace(uint64_t bytes);

    // Controls (object names as the window definition names them).
    QGroupBox* ExtractionGroup = nullptr;
    QComboBox* methodBox = nullptr;
    QCheckBox *fixErrorCheckBox = nullptr, *bumperCheckBox = nullptr, *forceRead = nullptr, *forceWrite = nullptr,
              *sfvCheck = nullptr, *toastCheckBox = nullptr, *subCheckBox = nullptr;
    QLineEdit *sectorReadField = nullptr, *sectorWriteField = nullptr;
    QGroupBox* TrackListGroup = nullptr;
    QListWidget* TrackListBox = nullptr;
    QLabel* TrackMsgLabel = nullptr;
    QCheckBox* trackZeroBox = nullptr;
    QLineEdit* inputFileField = nullptr;
    QPushButton *browseButton = nullptr, *startButton = nullptr, *previewButton = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel *statusMsg = nullptr, *etaMsg = nullptr, *compLabel1 = nullptr;
    QLabel *FixLabel = nullptr, *SplitLabel = nullptr, *PaddingLabel = nullptr, *StatusIndicator = nullptr;
    TClickLabel *totalErrWarnings = nullptr, *namingLabel2 = nullptr;
    QGroupBox* AdditionGroup2 = nullptr;
    QCheckBox *PassiveBox = nullptr, *batchTask = nullptr;
    QLineEdit* batchSignal = nullptr;

private:
    void Layout(QWidget* sheet);
    void ConnectHandlers();
    void FailLoad();
    void HandOffArchives();
    void HandOffSources();
    void TakeTasks(const HandoffTasks& tasks);
    void AbandonStart(std::unique_ptr<TJobControls>& controls);
    bool StartExtractionChecks();
    bool StartBuildChecks();
    bool ForcedSizesAccepted();
    int ProbeCdiSubtitles();

    TForm1& w_;
};
