// "[CD-i] Subtitle Conversion": lists the subtitle files of an image (the
// job's own source in mode 0, one the user picks in mode 1, or a subtitle
// stream picked as a file) and converts the selected ones to SRT or SUB.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "core/file_io.h"
#include "engine/methods.h"
#include "platform/controls.h"
#include "platform/file_dialogs.h"
#include "platform/registry.h"
#include "tools/cdi_subtitles.h"

class QLabel;
class QListWidget;
class QPushButton;
class QGroupBox;
class QRadioButton;
class TLanguageSet;

class TSubConvertForm : public QDialog {
    Q_OBJECT
public:
    struct Services {
        const TLanguageSet* texts = nullptr;
        platform::FileDialogs* fileDialogs = nullptr;
        platform::Registry* registry = nullptr;
        platform::ListBox* log = nullptr;  // the main window's log
        // Errors through the main window's reporter (kind, index, text).
        std::function<int(int, int, const std::string&)> report;
    };
    // What mode 0 converts: the job's source, its method and the folder of
    // the output name.
    struct JobSource {
        std::string sourceName;
        int methodIndex = Index(Method::CueBinToMpeg);
        std::string outputFolder;
    };

    explicit TSubConvertForm(Services services, QWidget* parent = nullptr);
    ~TSubConvertForm() override;

    void SetMode(int mode) { mode_ = mode; }
    void SetJobSource(JobSource job) { job_ = std::move(job); }
    void ApplyLanguage();
    void LoadConversionChoice();
    void SaveConversionChoice();

    // Handlers.
    void FormShow();
    void OKButtonClick();
    void SRTSUBBoxClick();
    void FormClose();

    // The open dialog's filter of mode 1, three entries.
    static constexpr const char* kOpenFilter =
        "Disc images (*.bin, *.raw)|*.bin;*.raw|Nero disc images (*.nrg)|*.nrg|CD-i subtitle files (*)|*";
    platform::FileDialogState OpenDialog;

    QListWidget* SubFileList = nullptr;
    QPushButton *OKButton = nullptr, *CancelButton = nullptr;
    QGroupBox* SRTSUBBox = nullptr;
    QRadioButton *srtButton = nullptr, *subButton = nullptr;
    QLabel *Title = nullptr, *Comments = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void Open(const std::string& path, bool plain, const CdiGeometry& geometry);

    Services services_;
    JobSource job_;
    int mode_ = 1;
    std::unique_ptr<TCdiSubtitleScanner> scanner_;
    std::unique_ptr<TFileIO> source_;
    uint8_t plainFile_ = 0;
};
