#include "app/main_window/tools_menu.h"

#include "app/extraction_page/extraction_page.h"
#include "app/log_page/log_page.h"
#include "app/video_cd_page/video_cd_page.h"
#include "app/main_window/main_window.h"
#include "core/helpers.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "tools/clip_writer.h"
#include "tools/sample_clip_window.h"
#include "tools/sample_generate_window.h"
#include "tools/sub_convert_window.h"

namespace {

constexpr const char* kMpegFilter =
    "*.mpg,*.mpeg,*.m2v,*.m2s (mpeg video)|*.mpg;*.mpeg;*.m2v;*.m2s|All files|*.*";

TSampleCreateForm::Services EditorServices(TForm1& w) {
    TSampleCreateForm::Services services;
    services.config = w.MainConfig.get();
    services.job = w.MainJob.get();
    services.texts = w.languageSet.get();
    services.fileDialogs = &w.fileDialogs();
    services.dialogs = &w.dialogs();
    services.report = [&w](int kind, int index, const std::string& text) { return w.Report(kind, index, text); };
    return services;
}

void RunClipEditor(TForm1& w) {
    platform::FileDialogState open;
    open.Filter = kMpegFilter;
    open.InitialDir = w.MainConfig->DefaultLoadDir;
    if (!w.fileDialogs().executeOpen(open)) return;
    TSampleCreateForm editor(EditorServices(w), &w);
    if (editor.OpenMpegFile(open.FileName) != 0) return;
    if (editor.exec() != QDialog::Accepted) return;
    w.repaint();
    // The clip is written here, on the GUI thread, with the progress window
    // over the extraction page.
    TSampleGenerateForm progress(&w);
    const TForm1::Handles& h = w.handles();
    SampleWriteHandles handles;
    handles.status = h.statusMsg2.get();
    handles.eta = h.etaMsg2.get();
    handles.progress = h.ProgressBar2.get();
    handles.completed = h.compLabel2.get();
    handles.window = w.pageMode == 0 ? &progress : nullptr;
    handles.generatedFiles = &w.generatedFiles;
    handles.texts = w.languageSet.get();
    handles.log = [&h](const std::string& line) {
        h.log->add(line);
        h.log->scrollToEnd();
    };
    const TSampleClipDescription clip = editor.model().Description();
    std::string why;
    const int problem = SampleClipProblem(clip, &why);
    if (problem != 0) handles.log(SampleClipProblemLine(why, clip.sourcePath));
    if (problem == msg::error::kInvalidPackSize) {
        w.Report(kMsgError, msg::error::kInvalidPackSize, clip.sourcePath);
        return;
    }
    if (WriteSample(clip, "", handles) != 0) w.Report(kMsgError, msg::error::kCannotCreate, "Sample File");
}

}  // namespace

TSampleCreateForm& TForm1::OwnSampleEditor() {
    if (!sampleCreateForm_) sampleCreateForm_ = std::make_unique<TSampleCreateForm>(EditorServices(*this), this);
    return *sampleCreateForm_;
}

void RunSubtitleConverter(TForm1& w, int mode) {
    TSubConvertForm::Services services;
    services.texts = w.languageSet.get();
    services.fileDialogs = &w.fileDialogs();
    services.registry = &w.registry();
    services.log = w.handles().log.get();
    services.report = [&w](int kind, int index, const std::string& text) { return w.Report(kind, index, text); };
    TSubConvertForm form(services, &w);
    form.SetMode(mode);
    form.SetJobSource({w.MainJob->sourceName, w.methodIndex, ExtractFolder(w.SaveDialog.FileName)});
    form.exec();
}

void RunUtility(TForm1& w, int item) {
    if (item == 0) RunClipEditor(w);
    if (item == 1) RunSubtitleConverter(w, 1);
}
