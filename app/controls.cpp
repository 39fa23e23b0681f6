#include "app/controls.h"

#include <algorithm>

#include "app/formatters.h"
#include "app/host.h"

Control::Control(TForm* form, std::string name, Control* parent)
    : form_(form), name_(std::move(name)), parent_(parent) {
    if (form_) form_->addComponent(this);
}

Control::~Control() {
    if (form_) form_->removeComponent(this);
}

void Control::SetFocus() {
    if (form_ && form_->onSetFocus) form_->onSetFocus(*this);
}

void TForm::addComponent(Control* control) {
    components_.push_back(control);
    byName_[control->Name()] = control;
}

void TForm::removeComponent(Control* control) {
    components_.erase(std::remove(components_.begin(), components_.end(), control), components_.end());
    auto it = byName_.find(control->Name());
    if (it != byName_.end() && it->second == control) byName_.erase(it);
}

Control* TForm::FindComponent(const std::string& name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

namespace {

// Splits at CR LF, LF or a lone CR.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> pieces;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            pieces.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current.push_back(c);
        }
    }
    pieces.push_back(std::move(current));
    return pieces;
}

}  // namespace

void TStrings::Add(const std::string& text) {
    if (text.find_first_of("\r\n") == std::string::npos) {
        lines_.push_back(text);
    } else {
        for (auto& piece : splitLines(text)) lines_.push_back(std::move(piece));
    }
    owner_->changed();
}

void TStrings::Insert(int index, const std::string& text) {
    if (index < 0) index = 0;
    if (index > Count()) index = Count();
    auto pieces = splitLines(text);
    lines_.insert(lines_.begin() + index, pieces.begin(), pieces.end());
    reset();
    owner_->changed();
}

void TStrings::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    lines_.erase(lines_.begin() + index);
    reset();
    owner_->changed();
}

void TStrings::Clear() {
    lines_.clear();
    reset();
    owner_->changed();
}

void TStrings::setLine(int index, const std::string& text) {
    if (index < 0 || index >= Count()) return;
    lines_[static_cast<size_t>(index)] = text;
    reset();
    owner_->changed();
}

std::string TStrings::Text() const {
    std::string text;
    size_t size = 0;
    for (const auto& line : lines_) size += line.size() + 2;
    text.reserve(size);
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStrings::setText(const std::string& text) {
    lines_.clear();
    if (!text.empty()) {
        lines_ = splitLines(text);
        if (text.back() == '\n' || text.back() == '\r') lines_.pop_back();
    }
    reset();
    owner_->changed();
}

int TStrings::IndexOf(const std::string& line) const {
    for (int i = 0; i < Count(); ++i)
        if (lines_[static_cast<size_t>(i)] == line) return i;
    return -1;
}

std::string TMemo::Text() const {
    std::string text = Lines.Text();
    if (!text.empty()) text.resize(text.size() - 2);
    return text;
}

int TValueListEditor::FindKey(const std::string& key) const {
    for (int i = 0; i < Strings.Count(); ++i)
        if (Keys(i) == key) return i;
    return -1;
}

std::string TValueListEditor::Keys(int line) const {
    if (line < 0 || line >= Strings.Count()) return {};
    const std::string& s = Strings[line];
    return s.substr(0, s.find('='));
}

std::string TValueListEditor::ValueAt(int line) const {
    if (line < 0 || line >= Strings.Count()) return {};
    const std::string& s = Strings[line];
    auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

std::string TValueListEditor::Values(const std::string& key) const { return ValueAt(FindKey(key)); }

void TValueListEditor::setValue(const std::string& key, const std::string& value) {
    int line = FindKey(key);
    if (line < 0)
        Strings.Add(key + "=" + value);
    else
        Strings.setLine(line, key + "=" + value);
}

bool editInteger(Host& host, const TEdit& edit, int& value) {
    if (parseInteger(edit.Text, value)) return true;
    host.messageBox("'" + edit.Text + "' is not a valid integer value", host.applicationTitle, DialogKind::Error,
                    DialogButtons::Ok);
    return false;
}
