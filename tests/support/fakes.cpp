#include "tests/support/fakes.h"

namespace fakes {

using Lock = std::lock_guard<std::mutex>;

void RecordingLabel::setCaption(const std::string& t) { Lock l(m_); caption_ = t; history_.push_back(t); }
std::string RecordingLabel::caption() const { Lock l(m_); return caption_; }
void RecordingLabel::setVisible(bool v) { Lock l(m_); visible_ = v; }
bool RecordingLabel::visible() const { Lock l(m_); return visible_; }
void RecordingLabel::setColor(int32_t c) { Lock l(m_); color_ = c; }
int32_t RecordingLabel::color() const { Lock l(m_); return color_; }
std::vector<std::string> RecordingLabel::history() const { Lock l(m_); return history_; }

void RecordingProgressBar::setPosition(int p) { Lock l(m_); pos_ = p; history_.push_back(p); }
int RecordingProgressBar::position() const { Lock l(m_); return pos_; }
std::vector<int> RecordingProgressBar::history() const { Lock l(m_); return history_; }

void RecordingListBox::add(const std::string& line) { Lock l(m_); lines_.push_back(line); sel_.push_back(false); }
void RecordingListBox::clear() { Lock l(m_); lines_.clear(); sel_.clear(); }
int RecordingListBox::count() const { Lock l(m_); return static_cast<int>(lines_.size()); }
std::string RecordingListBox::item(int i) const {
    Lock l(m_);
    return i >= 0 && i < static_cast<int>(lines_.size()) ? lines_[i] : std::string();
}
bool RecordingListBox::selected(int i) const {
    Lock l(m_);
    return i >= 0 && i < static_cast<int>(sel_.size()) && sel_[i];
}
void RecordingListBox::setSelected(int i, bool on) {
    Lock l(m_);
    if (i >= 0 && i < static_cast<int>(sel_.size())) sel_[i] = on;
}
std::vector<std::string> RecordingListBox::lines() const { Lock l(m_); return lines_; }

void RecordingGrid::setCell(int c, int r, const std::string& t) { Lock l(m_); cells_[{c, r}] = t; }
std::string RecordingGrid::cell(int c, int r) const {
    Lock l(m_);
    auto it = cells_.find({c, r});
    return it == cells_.end() ? std::string() : it->second;
}
int RecordingGrid::rowCount() const { Lock l(m_); return rows_; }
void RecordingGrid::setRowCount(int rows) {
    Lock l(m_);
    rows_ = rows;
    // A shrunk grid loses the cells of its dropped rows, as the control does.
    std::erase_if(cells_, [&](const auto& kv) { return kv.first.second >= rows; });
    if (current_ >= rows) current_ = rows - 1;
}
int RecordingGrid::currentRow() const { Lock l(m_); return current_; }
void RecordingGrid::setCurrentRow(int r) { Lock l(m_); current_ = r; }
void RecordingGrid::repaint() { Lock l(m_); ++repaints_; }
int RecordingGrid::repaints() const { Lock l(m_); return repaints_; }
std::vector<std::string> RecordingGrid::rows() const {
    Lock l(m_);
    std::vector<std::string> out;
    for (int r = 1; r < rows_; ++r) {
        std::string line;
        for (int c = 0; c < 4; ++c) {
            auto it = cells_.find({c, r});
            line += (c ? "|" : "") + (it == cells_.end() ? std::string() : it->second);
        }
        out.push_back(line);
    }
    return out;
}

void RecordingButton::setCaption(const std::string& t) { Lock l(m_); caption_ = t; }
std::string RecordingButton::caption() const { Lock l(m_); return caption_; }
void RecordingButton::setHint(const std::string& t) { Lock l(m_); hint_ = t; }
std::string RecordingButton::hint() const { Lock l(m_); return hint_; }
void RecordingButton::setEnabled(bool on) { Lock l(m_); enabled_ = on; }
bool RecordingButton::enabled() const { Lock l(m_); return enabled_; }

void RecordingCheckBox::setChecked(bool on) { Lock l(m_); checked_ = on; }
bool RecordingCheckBox::checked() const { Lock l(m_); return checked_; }
void RecordingCheckBox::setEnabled(bool on) { Lock l(m_); enabled_ = on; }
bool RecordingCheckBox::enabled() const { Lock l(m_); return enabled_; }

void RecordingEdit::setText(const std::string& t) { Lock l(m_); text_ = t; history_.push_back(t); }
std::string RecordingEdit::text() const { Lock l(m_); return text_; }
std::vector<std::string> RecordingEdit::history() const { Lock l(m_); return history_; }

void RecordingGridCell::setText(const std::string& t) { Lock l(m_); text_ = t; history_.push_back(t); }
std::string RecordingGridCell::text() const { Lock l(m_); return text_; }
std::vector<std::string> RecordingGridCell::history() const { Lock l(m_); return history_; }

void ScriptedDialogs::script(std::initializer_list<int> answers) {
    Lock l(m_);
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}
void ScriptedDialogs::scriptInput(std::optional<std::string> text) { Lock l(m_); inputs_.push_back(std::move(text)); }
int ScriptedDialogs::ask(const std::string& message, const std::string& caption) {
    Lock l(m_);
    shown_.push_back({"ask", message, caption});
    if (answers_.empty()) return default_;
    int a = answers_.front();
    answers_.pop_front();
    return a;
}
int ScriptedDialogs::askYesNo(const std::string& message, const std::string& caption) {
    Lock l(m_);
    shown_.push_back({"askYesNo", message, caption});
    if (answers_.empty()) return default_;
    int a = answers_.front();
    answers_.pop_front();
    return a;
}
void ScriptedDialogs::error(const std::string& message, const std::string& caption) {
    Lock l(m_);
    shown_.push_back({"error", message, caption});
}
void ScriptedDialogs::info(const std::string& message, const std::string& caption) {
    Lock l(m_);
    shown_.push_back({"info", message, caption});
}
std::optional<std::string> ScriptedDialogs::inputBox(const std::string& caption, const std::string& prompt,
                                                     const std::string& initial) {
    Lock l(m_);
    shown_.push_back({"input", prompt, caption});
    if (inputs_.empty()) return initial;
    auto r = inputs_.front();
    inputs_.pop_front();
    return r;
}
void ScriptedDialogs::beep() { Lock l(m_); ++beeps_; }
void ScriptedDialogs::scriptColour(std::optional<int32_t> bgr) { Lock l(m_); colours_.push_back(bgr); }
std::optional<int32_t> ScriptedDialogs::chooseColour(int32_t initialBgr) {
    Lock l(m_);
    colourStarts_.push_back(initialBgr);
    if (colours_.empty()) return std::nullopt;
    auto c = colours_.front();
    colours_.pop_front();
    return c;
}
std::vector<int32_t> ScriptedDialogs::colourStarts() const { Lock l(m_); return colourStarts_; }
std::vector<ScriptedDialogs::Shown> ScriptedDialogs::shown() const { Lock l(m_); return shown_; }
int ScriptedDialogs::beeps() const { Lock l(m_); return beeps_; }

void ScriptedFileDialogs::scriptOpen(std::optional<std::string> n) {
    Lock l(m_);
    openFiles_.push_back(n ? std::vector<std::string>{*n} : std::vector<std::string>{});
    open_.push_back(std::move(n));
}
void ScriptedFileDialogs::scriptOpenFiles(std::vector<std::string> names) {
    Lock l(m_);
    open_.push_back(names.empty() ? std::nullopt : std::optional<std::string>(names.front()));
    openFiles_.push_back(std::move(names));
}
void ScriptedFileDialogs::scriptSave(std::optional<std::string> n) { Lock l(m_); save_.push_back(std::move(n)); }
void ScriptedFileDialogs::scriptDirectory(std::optional<std::string> d) { Lock l(m_); dir_.push_back(std::move(d)); }

static bool answerFrom(std::deque<std::optional<std::string>>& q, platform::FileDialogState& s) {
    if (q.empty()) return false;
    auto n = q.front();
    q.pop_front();
    if (!n) return false;
    s.FileName = *n;
    s.Files = {*n};
    return true;
}
bool ScriptedFileDialogs::executeOpen(platform::FileDialogState& s) {
    Lock l(m_);
    ++opens_;
    last_ = s;
    std::vector<std::string> files;
    if (!openFiles_.empty()) {
        files = std::move(openFiles_.front());
        openFiles_.pop_front();
    }
    if (!answerFrom(open_, s)) return false;
    if (!files.empty()) s.Files = files;
    return true;
}
bool ScriptedFileDialogs::executeSave(platform::FileDialogState& s) {
    Lock l(m_);
    ++saves_;
    last_ = s;
    return answerFrom(save_, s);
}
bool ScriptedFileDialogs::selectDirectory(const std::string&, std::string& dir) {
    Lock l(m_);
    if (dir_.empty() || !dir_.front()) {
        if (!dir_.empty()) dir_.pop_front();
        return false;
    }
    dir = *dir_.front();
    dir_.pop_front();
    return true;
}
int ScriptedFileDialogs::opens() const { Lock l(m_); return opens_; }
int ScriptedFileDialogs::saves() const { Lock l(m_); return saves_; }
platform::FileDialogState ScriptedFileDialogs::lastShown() const { Lock l(m_); return last_; }

bool MemoryRegistry::openKey(const std::string& key, bool create) {
    if (!keys.count(key)) {
        if (!create) return false;
        keys[key];
    }
    open_ = key;
    isOpen_ = true;
    return true;
}
void MemoryRegistry::closeKey() { isOpen_ = false; }
bool MemoryRegistry::keyExists(const std::string& key) { return keys.count(key) > 0; }
bool MemoryRegistry::deleteKey(const std::string& key) {
    if (isOpen_ && open_ == key) isOpen_ = false;
    return keys.erase(key) > 0;
}
bool MemoryRegistry::valueExists(const std::string& name) {
    return isOpen_ && keys[open_].count(name) > 0;
}
std::optional<int32_t> MemoryRegistry::readInteger(const std::string& name) {
    if (!valueExists(name)) return std::nullopt;
    const Value& v = keys[open_][name];
    if (v.isString) return std::nullopt;
    return v.i;
}
std::optional<std::string> MemoryRegistry::readString(const std::string& name) {
    if (!valueExists(name)) return std::nullopt;
    const Value& v = keys[open_][name];
    if (!v.isString) return std::nullopt;
    return v.s;
}
bool MemoryRegistry::writeInteger(const std::string& name, int32_t value) {
    if (!isOpen_) return false;
    keys[open_][name] = Value{false, value, {}};
    return true;
}
bool MemoryRegistry::writeString(const std::string& name, const std::string& value) {
    if (!isOpen_) return false;
    keys[open_][name] = Value{true, 0, value};
    return true;
}

platform::LocalTime FakeClock::now() const { Lock l(m_); return t_; }
platform::LocalTime FakeClock::utcNow() const { Lock l(m_); return t_; }
int64_t FakeClock::steadyMs() const { Lock l(m_); return ms_; }
void FakeClock::set(platform::LocalTime t) { Lock l(m_); t_ = t; }
void FakeClock::advanceMs(int64_t ms) { Lock l(m_); ms_ += ms; }

}  // namespace fakes
