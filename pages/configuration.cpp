// The configuration pages ("Common parameters", "Variants parameters") and
// the " CONFIGURATION " group of the Management page.
//
// Every parameter group is one row of the group table: its hidden "get"
// button, the controls that show it with their conversions, and its
// accessor. A group handler runs its row in the mode of the button's Tag;
// "get all parameters" and "update configuration" run every "get" button
// of the window in component order. The handlers work on the QOB image
// only; "update configuration" carries the image to the detector and
// "restore parameters" reloads it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

#include "pages/configuration.h"

namespace {

using W = ConfigurationPages;

// How a number shows inside an edit's text.
enum class Shown { Decimal, TwoDigits, ThreeDigits };

// One number inside an edit's text: `length` characters from the 1-based
// position `at` (at 0: the whole text), shown after `before`.
struct Piece {
    int at;
    int length;
    int value;  // index into the group's values
    const char* before;
    Shown shown;
};

// An edit holding one or more numbers at fixed positions.
struct TextField {
    TEdit W::*edit;
    std::vector<Piece> pieces;
};
// Check box values: plain ticked 1 / unticked 0, inverted ticked 0 /
// unticked 1, offset ticked 2 / unticked 1.
enum class Tick { Plain, Inverted, Offset };
struct CheckField {
    TCheckBox W::*box;
    int value;
    Tick tick;
};
// The item index plus `offset`.
struct RadioField {
    TRadioGroup W::*group;
    int value;
    int offset;
};
struct TrackField {
    TTrackBar W::*bar;
    int value;
};
// 16 character codes from `value` on; positions past the text are blanks.
struct LabelField {
    TEdit W::*edit;
    int value;
};
// One decimal number as four bytes from `value` on, least significant first.
struct PressureField {
    TEdit W::*edit;
    int value;
};
using Field = std::variant<TextField, CheckField, RadioField, TrackField, LabelField, PressureField>;

constexpr int kMaxValues = 40;  // the holidays: 20 days, 20 months
using Accessor = int (*)(QOB& qob, int* values, int mode);

struct Group {
    TButton W::*button;
    std::vector<Field> fields;
    Accessor accessor;
};

template <int (QOB::*Par)(int&, int)>
int single(QOB& q, int* v, int mode) {
    return (q.*Par)(v[0], mode);
}
template <int (QOB::*Par)(int*, int)>
int arrayOf(QOB& q, int* v, int mode) {
    return (q.*Par)(v, mode);
}

TextField number(TEdit W::*edit, int value = 0) { return {edit, {{0, 0, value, "", Shown::Decimal}}}; }
TextField dayMonth(TEdit W::*edit, int day, int month) {
    return {edit, {{1, 2, day, "", Shown::TwoDigits}, {4, 2, month, "/", Shown::TwoDigits}}};
}
TextField hourMinute(TEdit W::*edit, int hour, int minute) {
    return {edit, {{1, 2, hour, "", Shown::TwoDigits}, {4, 2, minute, ":", Shown::TwoDigits}}};
}
TextField dayMonthYear(TEdit W::*edit, int day, int month, int year) {
    return {
        edit,
        {{1, 2, day, "", Shown::TwoDigits}, {4, 2, month, "/", Shown::TwoDigits}, {7, 2, year, "/", Shown::TwoDigits}}};
}
TextField dayMonthHourMinute(TEdit W::*edit, int first) {
    return {edit,
            {{1, 2, first, "", Shown::TwoDigits},
             {4, 2, first + 1, "/", Shown::TwoDigits},
             {7, 2, first + 2, " ", Shown::TwoDigits},
             {10, 2, first + 3, ":", Shown::TwoDigits}}};
}
CheckField plain(TCheckBox W::*box, int value = 0) { return {box, value, Tick::Plain}; }
CheckField inverted(TCheckBox W::*box, int value = 0) { return {box, value, Tick::Inverted}; }
CheckField offset(TCheckBox W::*box) { return {box, 0, Tick::Offset}; }

std::vector<Field> holidayFields() {
    // clang-format off
    static constexpr TEdit W::*edits[20] = {
        &W::edthd0,  &W::edthd1,  &W::edthd2,  &W::edthd3,  &W::edthd4,  &W::edthd5,  &W::edthd6,
        &W::edthd7,  &W::edthd8,  &W::edthd9,  &W::edthd10, &W::edthd11, &W::edthd12, &W::edthd13,
        &W::edthd14, &W::edthd15, &W::edthd16, &W::edthd17, &W::edthd18, &W::edthd19};
    // clang-format on
    std::vector<Field> fields;
    for (int k = 0; k < 20; ++k) fields.push_back(dayMonth(edits[k], k, 20 + k));
    return fields;
}

// The groups in driver order (the order of their buttons in the window).
// Values are laid out in the accessor's argument order: flows reference,
// minimum, maximum; dates days, months, years; alarm levels by day, prealarm
// by day, alarm by night, prealarm by night; each per channel.
const std::vector<Group>& groups() {
    // clang-format off
    static const std::vector<Group> table = {
        {&W::btnPwd,
         {TextField{&W::edtPwd,
                    {{1, 1, 0, "", Shown::Decimal}, {2, 1, 1, "", Shown::Decimal},
                     {3, 1, 2, "", Shown::Decimal}, {4, 1, 3, "", Shown::Decimal}}}},
         arrayOf<&QOB::parPassword>},
        {&W::btnCfg,
         {TextField{&W::edtCfg,
                    {{1, 3, 0, "", Shown::ThreeDigits}, {5, 2, 1, "|", Shown::TwoDigits},
                     {8, 2, 2, "/", Shown::TwoDigits}, {11, 2, 3, "/", Shown::TwoDigits},
                     {14, 2, 4, " ", Shown::TwoDigits}, {17, 2, 5, ":", Shown::TwoDigits},
                     {20, 2, 6, ":", Shown::TwoDigits}}}},
         [](QOB& q, int* v, int m) { return q.parConfigStamp(v[0], v[1], v[2], v[3], v[4], v[5], v[6], m); }},
        {&W::btnChEnable, {plain(&W::cbCh1Enabled, 0), plain(&W::cbCh2Enabled, 1)}, arrayOf<&QOB::parChannelEnable>},
        {&W::btnSenEn, {plain(&W::cbSe1Enabled, 0), plain(&W::cbSe2Enabled, 1)}, arrayOf<&QOB::parSensorEnable>},
        {&W::btnDisTim, {number(&W::edtDisTime)}, single<&QOB::parDisableTime>},
        {&W::btnMaintTime, {number(&W::edtMaintTime)}, single<&QOB::parMaintTimeout>},
        {&W::btnTrendLogTime, {number(&W::edtTrendLogTime)}, single<&QOB::parTrendLogTime>},
        {&W::btnMirrEn, {plain(&W::cbMirrEn)}, single<&QOB::parMirrorLeds>},
        {&W::btnSuppl, {offset(&W::cbSupp)}, single<&QOB::parSupplies>},
        {&W::btnCommChSe, {offset(&W::cbCommChSe)}, single<&QOB::parCommonChamber>},
        {&W::btnSndCutoff, {number(&W::edtSndCufoff)}, single<&QOB::parSounderCutoff>},
        {&W::btnLtAlarm, {plain(&W::cbLtAlarm1, 0), plain(&W::cbLtAlarm2, 1)}, arrayOf<&QOB::parLatchedAlarm>},
        {&W::btnAlarmDelay, {number(&W::edtAlarmDelay)}, single<&QOB::parAlarmDelay>},
        {&W::btnAuxRelCh2, {plain(&W::cbAuxRelCh2)}, single<&QOB::parAuxRelayCh2>},
        {&W::btnChLabel, {LabelField{&W::edtCh1Label, 0}, LabelField{&W::edtCh2Label, 16}},
         arrayOf<&QOB::parChannelLabels>},
        {&W::btnFlows,
         {number(&W::edtCh1FlowMin, 2), number(&W::edtCh2FlowMin, 3), number(&W::edtCh1FlowMax, 4),
          number(&W::edtCh2FlowMax, 5), number(&W::edtCh1FlowRef, 0), number(&W::edtCh2FlowRef, 1)},
         [](QOB& q, int* v, int m) { return q.parFlowLimits(v, v + 2, v + 4, m); }},
        {&W::btnFil, {dayMonthYear(&W::edtFil1, 0, 2, 4), dayMonthYear(&W::edtFil2, 1, 3, 5)},
         [](QOB& q, int* v, int m) { return q.parFilterDueDates(v, v + 2, v + 4, m); }},
        {&W::btnFan, {inverted(&W::cbFan1, 0), inverted(&W::cbFan2, 1)}, arrayOf<&QOB::parManualFan>},
        {&W::btnLatFau, {inverted(&W::cbLatFau)}, single<&QOB::parFaultNoLatch>},
        {&W::btnFauDel, {number(&W::edtFauDel)}, single<&QOB::parFaultDelay>},
        {&W::btnFloFauDel, {number(&W::edtFloFauDel)}, single<&QOB::parFlowFaultDelay>},
        {&W::btnPowResTim, {number(&W::edtPowResTim)}, single<&QOB::parPowerRestTime>},
        {&W::btnFanSp, {TrackField{&W::tbFanSp1, 0}, TrackField{&W::tbFanSp2, 1}}, arrayOf<&QOB::parManualFanSpeed>},
        {&W::btnPressure, {PressureField{&W::edtPressure, 0}}, arrayOf<&QOB::parPressure>},
        {&W::btnAuxLt, {inverted(&W::cbAuxLt)}, single<&QOB::parAuxFaultNoLatch>},
        {&W::btnExtInp, {plain(&W::cbExtInp)}, single<&QOB::parExtInputShort>},
        {&W::btnExtEv, {RadioField{&W::rgExtInp, 0, 0}}, single<&QOB::parExtInputEvent>},
        {&W::btnSensDisTime, {number(&W::edtSensDisTime)}, single<&QOB::parExtDisableTime>},
        {&W::btdsen, {RadioField{&W::rgdsen, 0, 0}}, single<&QOB::parDaylightSaving>},
        {&W::btndldate, {dayMonthHourMinute(&W::edtdldatest, 0), dayMonthHourMinute(&W::edtdldateend, 4)},
         [](QOB& q, int* v, int m) { return q.parDaylightDates(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], m); }},
        {&W::btnAuxEv,
         {plain(&W::cbAuxTemp, 0), plain(&W::cbAuxExtInp, 1), plain(&W::cbAuxLowPow, 2),
          plain(&W::cbAuxFlowFault, 3), plain(&W::cbAuxSens, 4), plain(&W::cbAuxPowRes, 5)},
         [](QOB& q, int* v, int m) { return q.parAuxFaultEvents(v[0], v[1], v[2], v[3], v[4], v[5], m); }},
        {&W::btnAlMode, {RadioField{&W::rgAlMode, 0, 1}}, single<&QOB::parLbAlarmMode>},
        {&W::btnSeTimeout, {number(&W::edtSeTimeout)}, single<&QOB::parSensorTimeout>},
        {&W::btnRemOutTime, {number(&W::edtRemOutTime)}, single<&QOB::parRemoteOutputTime>},
        {&W::btnWeekD,
         {plain(&W::cbDnMon, 0), plain(&W::cbDnTue, 1), plain(&W::cbDnWed, 2), plain(&W::cbDnThu, 3),
          plain(&W::cbDnFri, 4), plain(&W::cbDnSat, 5), plain(&W::cbDnSun, 6)},
         arrayOf<&QOB::parNightWeekDays>},
        {&W::btnhd, holidayFields(), [](QOB& q, int* v, int m) { return q.parHolidays(v, v + 20, m); }},
        {&W::btnPrealDelay, {number(&W::edtPrealDelay)}, single<&QOB::parPrealarmDelay>},
        {&W::btnCasAl, {plain(&W::cbCasAl)}, single<&QOB::parCascadeAlarm>},
        {&W::btnDayNig, {hourMinute(&W::edtDaySt, 0, 1), hourMinute(&W::edtDayEnd, 2, 3)},
         [](QOB& q, int* v, int m) { return q.parDayTimes(v[0], v[1], v[2], v[3], m); }},
        {&W::btnSndac, {plain(&W::cbSndac)}, single<&QOB::parSounderOnPrealarm>},
        {&W::btnallev,
         {number(&W::edtalday1, 0), number(&W::edtalnig1, 4), number(&W::edtpalday1, 2), number(&W::edtpalnig1, 6),
          number(&W::edtalday2, 1), number(&W::edtalnig2, 5), number(&W::edtpalday2, 3), number(&W::edtpalnig2, 7)},
         [](QOB& q, int* v, int m) { return q.parAlarmLevels(v, v + 2, v + 4, v + 6, m); }},
        {&W::btnDayNight, {plain(&W::cbDayNight)}, single<&QOB::parDayNight>},
    };
    // clang-format on
    return table;
}

// Each group button runs its own named handler, which runs the group.
struct NamedHandler {
    TButton W::*button;
    void (W::*click)();
};
constexpr NamedHandler kNamedHandlers[] = {
    {&W::btnPwd, &W::btnPwdClick},
    {&W::btnCfg, &W::btnCfgClick},
    {&W::btnChEnable, &W::btnSeEnableClick},
    {&W::btnSenEn, &W::btnSenEnClick},
    {&W::btnDisTim, &W::btnDisTimClick},
    {&W::btnMaintTime, &W::btnMaintTimeClick},
    {&W::btnTrendLogTime, &W::btnTrendLogTimeClick},
    {&W::btnMirrEn, &W::btnMirrEnClick},
    {&W::btnSuppl, &W::btnSupplClick},
    {&W::btnCommChSe, &W::btnCommChSeClick},
    {&W::btnSndCutoff, &W::btnSndCutoffClick},
    {&W::btnLtAlarm, &W::btnLtAlarmClick},
    {&W::btnAlarmDelay, &W::btnAlarmDelayClick},
    {&W::btnAuxRelCh2, &W::btnAuxRelCh2Click},
    {&W::btnChLabel, &W::btnChLabelClick},
    {&W::btnFlows, &W::btnFlowsClick},
    {&W::btnFil, &W::btnFilClick},
    {&W::btnFan, &W::btnFanClick},
    {&W::btnLatFau, &W::btnLatFauClick},
    {&W::btnFauDel, &W::btnFauDelClick},
    {&W::btnFloFauDel, &W::btnFloFauDelClick},
    {&W::btnPowResTim, &W::btnPowResTimClick},
    {&W::btnFanSp, &W::btnFanSpClick},
    {&W::btnPressure, &W::btnPressureClick},
    {&W::btnAuxLt, &W::btnAuxLtClick},
    {&W::btnExtInp, &W::btnExtInpClick},
    {&W::btnExtEv, &W::btnExtEvClick},
    {&W::btnSensDisTime, &W::btnSensDisTimeClick},
    {&W::btdsen, &W::btdsenClick},
    {&W::btndldate, &W::btndldateClick},
    {&W::btnAuxEv, &W::btnAuxEvClick},
    {&W::btnAlMode, &W::btnAlModeClick},
    {&W::btnSeTimeout, &W::btnSeTimeoutClick},
    {&W::btnRemOutTime, &W::btnRemOutTimeClick},
    {&W::btnWeekD, &W::btnWeekDClick},
    {&W::btnhd, &W::btnhdClick},
    {&W::btnPrealDelay, &W::btnPrealDelayClick},
    {&W::btnCasAl, &W::btnCasAlClick},
    {&W::btnDayNig, &W::btnDayNigClick},
    {&W::btnSndac, &W::btnSndacClick},
    {&W::btnallev, &W::btnallevClick},
    {&W::btnDayNight, &W::btnDayNightClick},
};

// The toolkit's integer conversion: the whole text or nothing.
int toInteger(const std::string& text) {
    int value = 0;
    if (!parseInteger(text, value)) throw std::invalid_argument("'" + text + "' is not a valid integer value");
    return value;
}

// Characters from the 1-based position `at`; a short text gives a shorter
// or empty piece.
std::string pieceOf(const std::string& text, int at, int length) {
    if (at == 0) return text;
    const size_t from = static_cast<size_t>(at - 1);
    return from < text.size() ? text.substr(from, static_cast<size_t>(length)) : std::string();
}

std::string show(int value, Shown shown) {
    switch (shown) {
    case Shown::TwoDigits: return twoDigits(value);
    case Shown::ThreeDigits: return threeDigits(value);
    case Shown::Decimal: break;
    }
    return std::to_string(value);
}

bool tickedFor(Tick tick, int value) {
    switch (tick) {
    case Tick::Inverted: return value == 0;
    case Tick::Offset: return value != 1;
    case Tick::Plain: break;
    }
    return value != 0;
}

int valueFor(Tick tick, bool ticked) {
    switch (tick) {
    case Tick::Inverted: return ticked ? 0 : 1;
    case Tick::Offset: return ticked ? 2 : 1;
    case Tick::Plain: break;
    }
    return ticked ? 1 : 0;
}

// Controls -> values (write and check modes). Throws on a bad number.
struct ToValues {
    W& w;
    int* v;
    void operator()(const TextField& f) const {
        const std::string text = (w.*f.edit).Text;
        for (const Piece& p : f.pieces) v[p.value] = toInteger(pieceOf(text, p.at, p.length));
    }
    void operator()(const CheckField& f) const { v[f.value] = valueFor(f.tick, (w.*f.box).Checked); }
    void operator()(const RadioField& f) const { v[f.value] = (w.*f.group).ItemIndex + f.offset; }
    void operator()(const TrackField& f) const { v[f.value] = (w.*f.bar).Position; }
    void operator()(const LabelField& f) const {
        const std::string text = (w.*f.edit).Text;
        for (size_t i = 0; i < 16; ++i)
            v[f.value + static_cast<int>(i)] = i < text.size() ? static_cast<unsigned char>(text[i]) : 32;
    }
    void operator()(const PressureField& f) const {
        const auto pascal = static_cast<uint32_t>(toInteger((w.*f.edit).Text));
        for (int i = 0; i < 4; ++i) v[f.value + i] = static_cast<int>((pascal >> (8 * i)) & 0xFF);
    }
};

// Values -> controls (read mode).
struct ToControls {
    W& w;
    const int* v;
    void operator()(const TextField& f) const {
        std::string text;
        for (const Piece& p : f.pieces) text += p.before + show(v[p.value], p.shown);
        (w.*f.edit).Text = text;
    }
    void operator()(const CheckField& f) const { (w.*f.box).Checked = tickedFor(f.tick, v[f.value]); }
    void operator()(const RadioField& f) const {
        // Like the toolkit, an index the group does not have selects its last item.
        TRadioGroup& group = w.*f.group;
        const int last = static_cast<int>(group.Items->size()) - 1;
        group.ItemIndex = std::clamp(v[f.value] - f.offset, -1, last);
    }
    void operator()(const TrackField& f) const {
        TTrackBar& bar = w.*f.bar;
        const int before = bar.Position;
        bar.Position = std::clamp(v[f.value], bar.Min.get(), bar.Max.get());
        if (bar.Position != before && bar.OnChange) bar.OnChange();
    }
    void operator()(const LabelField& f) const {
        std::string text;
        for (int i = 0; i < 16 && v[f.value + i] != 0; ++i) text += static_cast<char>(v[f.value + i]);
        (w.*f.edit).Text = text;
    }
    void operator()(const PressureField& f) const {
        // Unsigned: a stored value above 2^31 must not show as negative.
        uint32_t pascal = 0;
        for (int i = 0; i < 4; ++i) pascal |= static_cast<uint32_t>(v[f.value + i] & 0xFF) << (8 * i);
        (w.*f.edit).Text = std::to_string(pascal);
    }
};

// The window's "get" buttons in component order.
std::vector<TButton*> getButtons(const TForm& form) {
    std::vector<TButton*> buttons;
    for (Control* c : form.Components()) {
        if (typeid(*c) != typeid(TButton)) continue;
        auto* button = static_cast<TButton*>(c);
        if (button->Caption.get() == "get") buttons.push_back(button);
    }
    return buttons;
}

// The control a field shows its values in.
struct ControlOf {
    W& w;
    Control* operator()(const TextField& f) const { return &(w.*f.edit); }
    Control* operator()(const CheckField& f) const { return &(w.*f.box); }
    Control* operator()(const RadioField& f) const { return &(w.*f.group); }
    Control* operator()(const TrackField& f) const { return &(w.*f.bar); }
    Control* operator()(const LabelField& f) const { return &(w.*f.edit); }
    Control* operator()(const PressureField& f) const { return &(w.*f.edit); }
};

std::vector<Control*> parameterControls(W& w) {
    std::vector<Control*> controls;
    for (const Group& group : groups())
        for (const Field& field : group.fields) controls.push_back(std::visit(ControlOf{w}, field));
    return controls;
}

// A control's value as the listing gives it.
std::string listingValue(Control* c) {
    if (auto* edit = dynamic_cast<TEdit*>(c)) return edit->Text;
    if (auto* box = dynamic_cast<TCheckBox*>(c)) return box->Checked ? "1" : "0";
    if (auto* radio = dynamic_cast<TRadioGroup*>(c)) return std::to_string(radio->ItemIndex);
    if (auto* bar = dynamic_cast<TTrackBar*>(c)) return std::to_string(bar->Position);
    return std::string();
}

// A stored label may hold any byte; a comment line must stay one line.
std::string printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

// Whether the group's controls, written back, store exactly the image bytes
// they were read from. Not so for stored values the page cannot show: byte
// 351 = 0 shows as no "LB Alarm mode" item, a flag byte 5 as a tick that
// writes 1, a label with a zero byte inside as a shorter text. The image is
// left as it was.
bool keepsStoredBytes(W& w, const Group& group) {
    QOB& q = *w.qob;
    uint8_t before[sizeof q.image];
    std::memcpy(before, q.image, sizeof before);
    const int status = q.status;
    bool same = false;
    try {
        int values[kMaxValues] = {};
        for (const Field& field : group.fields) std::visit(ToValues{w, values}, field);
        same = group.accessor(q, values, ParMode::Write) && std::memcmp(before, q.image, sizeof before) == 0;
    } catch (const std::exception&) {
        // A text that is not a number gives nothing back either.
    }
    std::memcpy(q.image, before, sizeof before);
    q.status = status;
    return same;
}

}  // namespace

std::vector<TButton*> ConfigurationPages::configGroupButtons() {
    std::vector<TButton*> buttons;
    for (const Group& group : groups()) buttons.push_back(&(this->*group.button));
    return buttons;
}

std::vector<std::string> ConfigurationPages::configurationListing() {
    std::vector<std::string> lines;
    for (const Group& group : groups()) {
        const bool shown = !qob || !qob->isConnected() || keepsStoredBytes(*this, group);
        if (!shown)
            lines.push_back("# " + (this->*group.button).Name() +
                            ": the detector holds values these controls cannot show; a load leaves them as stored");
        for (const Field& field : group.fields) {
            Control* c = std::visit(ControlOf{*this}, field);
            const std::string value = listingValue(c);
            lines.push_back(shown ? c->Name() + "=" + value : "# " + c->Name() + "=" + printable(value));
        }
    }
    return lines;
}

TButton* ConfigurationPages::configGroupOf(const std::string& controlName) {
    for (const Group& group : groups())
        for (const Field& field : group.fields)
            if (std::visit(ControlOf{*this}, field)->Name() == controlName) return &(this->*group.button);
    return nullptr;
}

bool ConfigurationPages::setConfigurationControl(const std::string& name, const std::string& value,
                                                 std::string& error) {
    const auto controls = parameterControls(*this);
    const auto it = std::find_if(controls.begin(), controls.end(), [&](Control* c) { return c->Name() == name; });
    if (it == controls.end()) {
        error = quotedExcerpt(name) + " is not a configuration control";
        return false;
    }
    int number = 0;
    const bool isNumber = parseInteger(value, number);
    if (auto* edit = dynamic_cast<TEdit*>(*it)) {
        if (value.find_first_of("\r\n") != std::string::npos) {
            error = name + ": a line break cannot go into an edit";
            return false;
        }
        // The label edits stop typing at 16; a longer text would lose its end.
        if ((edit == &edtCh1Label || edit == &edtCh2Label) && value.size() > 16) {
            error = name + ": a label holds at most 16 characters, not " + std::to_string(value.size()) + " (" +
                    quotedExcerpt(value) + ")";
            return false;
        }
        edit->Text = value;
    } else if (auto* box = dynamic_cast<TCheckBox*>(*it)) {
        if (value != "0" && value != "1") {
            error = name + ": a check box takes 1 or 0, not " + quotedExcerpt(value);
            return false;
        }
        box->Checked = value == "1";
    } else if (auto* radio = dynamic_cast<TRadioGroup*>(*it)) {
        const int count = static_cast<int>(radio->Items->size());
        if (!isNumber || number < 0 || number >= count) {
            error = name + ": an item index from 0 to " + std::to_string(count - 1) + ", not " + quotedExcerpt(value);
            return false;
        }
        radio->ItemIndex = number;
    } else if (auto* bar = dynamic_cast<TTrackBar*>(*it)) {
        if (!isNumber || number < bar->Min || number > bar->Max) {
            error = name + ": a position from " + std::to_string(bar->Min) + " to " + std::to_string(bar->Max) +
                    ", not " + quotedExcerpt(value);
            return false;
        }
        bar->Position = number;
        if (bar->OnChange) bar->OnChange();
    }
    return true;
}

void ConfigurationPages::configGroupClick(TButton& sender) {
    if (!checkConnected()) return;
    const auto& table = groups();
    const auto group =
        std::find_if(table.begin(), table.end(), [&](const Group& g) { return &(this->*g.button) == &sender; });
    if (group == table.end()) return;
    const int mode = sender.Tag;
    int values[kMaxValues] = {};
    if (mode > 0)
        for (const Field& field : group->fields) std::visit(ToValues{*this, values}, field);
    if (!group->accessor(*qob, values, mode)) {
        showLibraryError();
        return;
    }
    if (mode == 0)
        for (const Field& field : group->fields) std::visit(ToControls{*this, values}, field);
    addConsoleLine(">>ok");
}

void ConfigurationPages::btnGetAllClick() {
    if (!checkConnected()) return;
    clearConsole();
    for (TButton* button : getButtons(*this)) {
        button->Tag = 0;
        try {
            if (button->OnClick) button->OnClick();
        } catch (const std::exception&) { addConsoleLine("EXC:" + button->Name()); }
    }
}

void ConfigurationPages::btnUpdateCfgClick() { updateConfigurationGroups(getButtons(*this)); }

void ConfigurationPages::updateConfigurationGroups(const std::vector<TButton*>& buttons) {
    if (!checkConnected()) return;
    clearConsole();
    for (TButton* button : buttons) {
        addConsoleLine(button->Name());
        button->Tag = 1;
        try {
            if (button->OnClick) button->OnClick();
        } catch (const std::exception&) { addConsoleLine("EXCEPTION"); }
    }
    // Refused groups kept their image bytes; the accepted ones go out with them.
    btnUpdateCfg.Enabled = false;
    const int stored = qob->storeConfiguration();
    btnUpdateCfg.Enabled = true;
    if (stored)
        addConsoleLine(">>Configuration updated");
    else
        showLibraryError();
}

void ConfigurationPages::btnRestoreCfgClick() {
    if (!checkConnected()) return;
    btnRestoreCfg.Enabled = false;
    const int reloaded = qob->reloadImage();
    btnRestoreCfg.Enabled = true;
    if (reloaded)
        addConsoleLine(">>Parameters restored");
    else
        showLibraryError();
}

void ConfigurationPages::tbFanSp1Change() { lbFanSp1.Caption = std::to_string(tbFanSp1.Position); }

void ConfigurationPages::tbFanSp2Change() { lbFanSp2.Caption = std::to_string(tbFanSp2.Position); }

// ---- layout and wiring ------------------------------------------------

void ConfigurationPages::wireConfigurationPages() {
    for (const Group& group : groups()) {
        TButton& button = this->*group.button;
        button.Visible = false;
        button.setBounds(0, 0, 1, 1);
        for (const NamedHandler& named : kNamedHandlers)
            if (named.button == group.button) button.OnClick = [this, click = named.click] { (this->*click)(); };
    }
    rgdsen.Columns = 3;
    tbFanSp1.OnChange = [this] { tbFanSp1Change(); };
    tbFanSp2.OnChange = [this] { tbFanSp2Change(); };
    // A label holds 16 characters; typing stops there, as a length limit would.
    for (TEdit* edit : {&edtCh1Label, &edtCh2Label})
        edit->OnChange = [edit] {
            if (edit->Text->size() > 16) edit->Text = edit->Text->substr(0, 16);
        };
    btnGetAll.OnClick = [this] { btnGetAllClick(); };
    btnUpdateCfg.OnClick = [this] { btnUpdateCfgClick(); };
    btnRestoreCfg.OnClick = [this] { btnRestoreCfgClick(); };

    // A caption label left of its edit, both on one row.
    auto row = [](TLabel& label, int left, int top, int labelWidth, TEdit& edit, int editLeft, int editWidth) {
        label.setBounds(left, top + 4, labelWidth, 13);
        edit.setBounds(editLeft, top, editWidth, 21);
    };
    auto label = [](TLabel& l, int left, int top, int width) { l.setBounds(left, top, width, 13); };
    auto check = [](TCheckBox& c, int left, int top, int width) { c.setBounds(left, top, width, 17); };

    // Common parameters: four columns.
    gbCfgGeneral.setBounds(4, 4, 250, 320);
    row(lblPwd, 8, 16, 90, edtPwd, 100, 50);
    label(lblPwdHint, 156, 20, 40);
    row(lblCfg, 8, 40, 86, edtCfg, 96, 150);
    label(lblCfgHint, 96, 62, 150);
    check(cbCh1Enabled, 8, 80, 230);
    check(cbCh2Enabled, 8, 98, 230);
    check(cbSe1Enabled, 8, 116, 230);
    check(cbSe2Enabled, 8, 134, 230);
    row(lblDisTime, 8, 154, 160, edtDisTime, 190, 50);
    row(lblMaintTime, 8, 177, 160, edtMaintTime, 190, 50);
    row(lblTrendLogTime, 8, 200, 160, edtTrendLogTime, 190, 50);
    check(cbMirrEn, 8, 225, 230);
    row(lblCh1Label, 8, 244, 90, edtCh1Label, 100, 140);
    row(lblCh2Label, 8, 267, 90, edtCh2Label, 100, 140);
    row(lblPressure, 8, 290, 90, edtPressure, 100, 80);

    gbCfgAlarms.setBounds(258, 4, 248, 128);
    check(cbCommChSe, 8, 18, 230);
    row(lblSndCufoff, 8, 38, 176, edtSndCufoff, 188, 50);
    check(cbLtAlarm1, 8, 63, 230);
    check(cbLtAlarm2, 8, 81, 230);
    row(lblAlarmDelay, 8, 100, 176, edtAlarmDelay, 188, 50);

    gbCfgFaults.setBounds(258, 136, 248, 156);
    check(cbSupp, 8, 18, 230);
    row(lblFil1, 8, 38, 96, edtFil1, 106, 66);
    row(lblFil2, 8, 61, 96, edtFil2, 106, 66);
    label(lblFilHint, 178, 52, 66);
    check(cbLatFau, 8, 86, 230);
    row(lblFauDel, 8, 105, 176, edtFauDel, 188, 50);
    row(lblPowResTim, 8, 128, 176, edtPowResTim, 188, 50);

    gbCfgFlows.setBounds(510, 4, 246, 102);
    label(lblFlowMin, 86, 16, 40);
    label(lblFlowMax, 136, 16, 40);
    label(lblFlowRef, 186, 16, 40);
    label(lblFlowsCh1, 8, 34, 66);
    edtCh1FlowMin.setBounds(76, 30, 45, 21);
    edtCh1FlowMax.setBounds(126, 30, 45, 21);
    edtCh1FlowRef.setBounds(176, 30, 45, 21);
    label(lblFlowsCh2, 8, 57, 66);
    edtCh2FlowMin.setBounds(76, 53, 45, 21);
    edtCh2FlowMax.setBounds(126, 53, 45, 21);
    edtCh2FlowRef.setBounds(176, 53, 45, 21);
    row(lblFloFauDel, 8, 76, 160, edtFloFauDel, 176, 45);

    gbCfgFans.setBounds(510, 110, 246, 122);
    check(cbFan1, 8, 16, 230);
    check(cbFan2, 8, 34, 230);
    label(lblFanSp, 8, 54, 150);
    label(lblFanSpCh1, 8, 74, 34);
    tbFanSp1.setBounds(44, 68, 150, 24);
    lbFanSp1.setBounds(200, 74, 30, 13);
    label(lblFanSpCh2, 8, 98, 34);
    tbFanSp2.setBounds(44, 92, 150, 24);
    lbFanSp2.setBounds(200, 98, 30, 13);

    gbCfgDaylight.setBounds(510, 236, 246, 124);
    rgdsen.setBounds(8, 16, 110, 96);
    label(lbldldatest, 124, 18, 60);
    edtdldatest.setBounds(124, 33, 114, 21);
    label(lbldldateend, 124, 58, 60);
    edtdldateend.setBounds(124, 73, 114, 21);
    label(lbldldateHint, 124, 98, 114);

    gbCfgInput.setBounds(760, 4, 254, 180);
    check(cbExtInp, 8, 16, 238);
    rgExtInp.setBounds(8, 36, 238, 112);
    row(lblSensDisTime, 8, 152, 198, edtSensDisTime, 208, 38);

    gbCfgAuxFault.setBounds(760, 188, 254, 174);
    check(cbAuxRelCh2, 8, 16, 238);
    check(cbAuxLt, 8, 34, 238);
    gbCfgAuxEvents.setBounds(8, 52, 238, 116);
    TCheckBox* events[] = {&cbAuxTemp, &cbAuxExtInp, &cbAuxLowPow, &cbAuxFlowFault, &cbAuxSens, &cbAuxPowRes};
    for (int i = 0; i < 6; ++i) check(*events[i], 8, 16 + 16 * i, 222);

    // Variants parameters.
    gbCfgLoopBased.setBounds(4, 4, 360, 168);
    rgAlMode.setBounds(8, 16, 150, 64);
    row(lblSeTimeout, 8, 88, 280, edtSeTimeout, 292, 54);
    label(lblRemOutTime, 8, 116, 280);
    label(lblBaseRelayTime, 8, 134, 280);
    edtRemOutTime.setBounds(292, 122, 54, 21);

    gbCfgStandAlone.setBounds(370, 4, 644, 250);
    check(cbDayNight, 8, 16, 150);
    row(lblDaySt, 8, 36, 60, edtDaySt, 70, 45);
    row(lblDayEnd, 8, 59, 60, edtDayEnd, 70, 45);
    label(lblDayHint, 122, 52, 40);
    row(lblPrealDelay, 8, 86, 130, edtPrealDelay, 140, 45);
    check(cbCasAl, 8, 112, 230);
    check(cbSndac, 8, 130, 230);
    label(lblLevCh1, 120, 154, 40);
    label(lblLevCh2, 210, 154, 40);
    label(lblLevDay1, 108, 168, 36);
    label(lblLevNight1, 146, 168, 36);
    label(lblLevDay2, 198, 168, 36);
    label(lblLevNight2, 236, 168, 36);
    label(lblAlLevels, 8, 188, 96);
    edtalday1.setBounds(106, 184, 36, 21);
    edtalnig1.setBounds(146, 184, 36, 21);
    edtalday2.setBounds(196, 184, 36, 21);
    edtalnig2.setBounds(236, 184, 36, 21);
    label(lblPalLevels, 8, 211, 96);
    edtpalday1.setBounds(106, 207, 36, 21);
    edtpalnig1.setBounds(146, 207, 36, 21);
    edtpalday2.setBounds(196, 207, 36, 21);
    edtpalnig2.setBounds(236, 207, 36, 21);
    label(lblWeekD, 280, 16, 150);
    TCheckBox* days[] = {&cbDnMon, &cbDnTue, &cbDnWed, &cbDnThu, &cbDnFri, &cbDnSat, &cbDnSun};
    for (int i = 0; i < 7; ++i) check(*days[i], 280, 34 + 18 * i, 110);
    label(lblhd, 440, 16, 140);
    TEdit* holidays[] = {&edthd0,  &edthd1,  &edthd2,  &edthd3,  &edthd4,  &edthd5,  &edthd6,
                         &edthd7,  &edthd8,  &edthd9,  &edthd10, &edthd11, &edthd12, &edthd13,
                         &edthd14, &edthd15, &edthd16, &edthd17, &edthd18, &edthd19};
    for (int k = 0; k < 20; ++k) holidays[k]->setBounds(440 + 50 * (k / 5), 34 + 24 * (k % 5), 46, 21);

    // Management page, beside " LOGS ".
    gbConfiguration.setBounds(824, 224, 185, 97);
    btnGetAll.setBounds(8, 16, 169, 23);
    btnUpdateCfg.setBounds(8, 42, 169, 23);
    btnRestoreCfg.setBounds(8, 68, 169, 23);
}
