// The window's controls: names, captions, colours, geometry, and focus order.
#include <QHeaderView>
#include <QPalette>
#include <QScreen>

#include "schedule/schedule_form.h"
#include "ui/form_sweeprun.h"
#include "ui/top_line_label.h"
#include "ui/window_layout.h"

using namespace Qt::StringLiterals;

namespace {

// Halfway to grey: how a coloured control looks when it is disabled.
QColor muted(const QColor& colour) {
    const QColor grey(160, 160, 160);
    return QColor((colour.red() + grey.red()) / 2, (colour.green() + grey.green()) / 2,
                  (colour.blue() + grey.blue()) / 2);
}

// Sets one palette role, with its muted form for the disabled state.
void setColour(QWidget* widget, const QList<QPalette::ColorRole>& roles, const QColor& colour) {
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : roles) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
        palette.setColor(QPalette::Disabled, role, muted(colour));
    }
    widget->setPalette(palette);
}

// A flat face of one colour, as the buttons were designed; darker while pressed, muted when
// disabled.
void setFace(QPushButton* button, const QColor& colour) {
    button->setStyleSheet(
        u"QPushButton { background-color: %1; border: 1px solid #8c8c8c; border-radius: 2px; }"
        u" QPushButton:focus { border: 1px solid #3c3c3c; }"
        u" QPushButton:pressed { background-color: %2; }"
        u" QPushButton:disabled { background-color: %3; color: #9a9a9a; }"_s.arg(
            colour.name(), colour.darker(115).name(), muted(colour).name()));
}

QTableView* grid() {
    auto* view = new QTableView;
    QFont font(u"Noto Sans CJK JP"_s, 9);
    view->setFont(font);
    view->horizontalHeader()->setFont(font);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    view->horizontalHeader()->setMinimumSectionSize(8);  // the width shares decide, not the style
    // Room for eight digits, so the columns never move as the log grows.
    view->verticalHeader()->setFixedWidth(QFontMetrics(font).horizontalAdvance(u"0000000"_s) + 8);
    view->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab leaves the list, arrows move in it; a long path keeps its file name in view.
    view->setTabKeyNavigation(false);
    view->setTextElideMode(Qt::ElideMiddle);
    view->setWordWrap(false);  // a wrapped path would be cut at its end, losing the name
    return view;
}

}  // namespace

int Form_sweeprun::twips(double value) const {
    return qRound(value * logicalDpiY() / 1440.0);
}

int Form_sweeprun::shareWidth(int share) const {
    return twips((width() * 1440.0 / logicalDpiY() - 600) * (share / 9000.0));
}

void Form_sweeprun::buildControls() {
    const QFont font(u"Noto Sans CJK JP"_s, 9);
    setFont(font);
    // Each group is one frame with its caption set into the top line, its controls inside.
    // Under a style sheet, controls no longer take their group's font: the sheet gives it.
    setStyleSheet(
        u"* { font-family: \"%1\"; font-size: 9pt; }"
        u" QGroupBox { border: 1px solid #a8a8a8; border-radius: 3px; margin-top: %2px; }"
        u" QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"_s
            .arg(font.family())
            .arg(QFontMetrics(font).height() / 2));
    // Every control is placed at its designed position in twips, relative to its group.
    const auto add = [this]<typename T>(QWidget* parent, const QString& name, T* widget,
                                        double left, double top, double width, double height) {
        widget->setParent(parent);
        widget->setObjectName(name);
        widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
        return widget;
    };
    const auto frame = [&add](QWidget* parent, const QString& name, const QString& title,
                              double left, double top, double width, double height) {
        return add(parent, name, new QGroupBox(title), left, top, width, height);
    };
    const auto editableCombo = [] {
        auto* combo = new QComboBox;
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);  // what is typed is what is stored: "5" is not "50"
        return combo;
    };

    Frame7 = frame(this, u"Frame7"_s, u"オペレーション"_s, 120, 0, 10455, 735);
    Command2 = add(Frame7, u"Command2"_s, new QPushButton(u"実行"_s), 2760, 240, 1335, 375);
    Command7 = add(Frame7, u"Command7"_s, new QPushButton(u"設定"_s), 6240, 240, 1335, 375);
    // This window's own addition: what the next run would do (Ctrl+P).
    PreviewButton =
        add(Frame7, u"PreviewButton"_s, new QPushButton(u"予定"_s), 4500, 240, 1335, 375);
    PreviewButton->setToolTip(u"次の実行で処理するファイルを表示 (Ctrl+P)"_s);
    // This window's own addition: whether it runs, when next, and what the last run came to.
    LabelNext = add(Frame7, u"LabelNext"_s, new QLabel(u"設定中"_s), 240, 240, 2400, 375);
    // What the last run came to stands on the group's top line, where the longest result, its
    // failures included, has room on one line.
    LabelLast = add(Frame7, u"LabelLast"_s, new TopLineLabel, 2400, 0, 7935, 240);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setTimerType(Qt::PreciseTimer);  // a coarse timer may slip past a whole minute
    Timer1->setSingleShot(true);             // each tick sets the next for the clock's minute

    Frame10 = frame(this, u"Frame10"_s, u"実行ログ"_s, 120, 840, 10455, 2775);
    DataGrid2 = add(Frame10, u"DataGrid2"_s, grid(), 120, 240, 10215, 2415);
    m_logGridHeight = DataGrid2->height();
    // This window's own addition: searching the log (Ctrl+F), from a small button on the
    // group's top line.
    SearchButton = add(Frame10, u"SearchButton"_s, new QToolButton, 9615, 0, 720, 255);
    SearchButton->setText(u"検索"_s);
    SearchButton->setToolTip(u"ログを検索 (Ctrl+F)"_s);
    SearchButton->setFocusPolicy(Qt::NoFocus);
    FilterBar = add(Frame10, u"FilterBar"_s, new LogFilterBar, 120, 240, 10215, 375);
    // This window's own addition: the history of runs, to read the log run by run and take a
    // run back; also from 前回.
    HistoryButton = add(Frame10, u"HistoryButton"_s, new QToolButton, 8775, 0, 720, 255);
    HistoryButton->setText(u"履歴"_s);
    HistoryButton->setToolTip(u"実行履歴：実行ごとのログと、実行の取り消し"_s);
    HistoryButton->setFocusPolicy(Qt::NoFocus);
    LabelLast->setToolTip(u"クリックで実行履歴"_s);
    LabelLast->installEventFilter(this);
    FilterBar->hide();

    Frame4 = frame(this, u"Frame4"_s, u"保守スケジュール設定"_s, 120, 3720, 10455, 1095);
    // This window's own addition, on the group's top line: starting the window at login.
    LoginStart =
        add(Frame4, u"LoginStart"_s, new QCheckBox(u"ログイン時に起動"_s), 7800, 0, 2535, 255);
    LoginStart->setLayoutDirection(Qt::RightToLeft);  // its box at the line's right end
    LoginStart->resize(LoginStart->sizeHint().width(), LoginStart->height());
    LoginStart->move(twips(10335) - LoginStart->width(), 0);
    LoginStart->setAutoFillBackground(true);  // the line stops short of it
    LoginStart->setToolTip(u"ログインしたときにこのウィンドウを開き、スケジュールを実行する"_s);
    Frame3 = frame(Frame4, u"Frame3"_s, u"実行曜日"_s, 120, 240, 4335, 735);
    for (size_t i = 0; i < Check1.size(); ++i) {
        Check1[i] = add(Frame3, u"Check1_%1"_s.arg(i),
                        new QCheckBox(weekdayCaptions()[static_cast<qsizetype>(i)]),
                        120 + 600 * static_cast<double>(i), 240, 495, 255);
    }
    setColour(Check1[5], {QPalette::WindowText, QPalette::ButtonText}, QColor(0, 0, 255));
    setColour(Check1[6], {QPalette::WindowText, QPalette::ButtonText}, QColor(255, 0, 0));
    Frame5 = frame(Frame4, u"Frame5"_s, u"実行時"_s, 4560, 240, 1215, 735);
    Combo1 = add(Frame5, u"Combo1"_s, editableCombo(), 120, 240, 975, 300);
    Frame6 = frame(Frame4, u"Frame6"_s, u"実行分"_s, 5880, 240, 1215, 735);
    Combo2 = add(Frame6, u"Combo2"_s, editableCombo(), 120, 240, 975, 300);
    // This window's own addition: how long a deleted file waits in the trash.
    Frame15 = frame(Frame4, u"Frame15"_s, u"保管日数"_s, 7200, 240, 1455, 735);
    Text6 = add(Frame15, u"Text6"_s, new QLineEdit, 240, 240, 975, 390);
    Text6->setToolTip(u"削除したファイルをごみ箱に置く日数（0 でごみ箱を使わずに削除）"_s);
    Frame11 = frame(Frame4, u"Frame11"_s, u"ログ残存日数"_s, 8775, 240, 1560, 735);
    Text4 = add(Frame11, u"Text4"_s, new QLineEdit, 465, 240, 975, 390);

    Frame2 = frame(this, u"Frame2"_s, u"保守データ設定"_s, 120, 4920, 10455, 4455);
    // This window's own addition, on the group's top line: what the rule as typed would handle.
    LabelCount = add(Frame2, u"LabelCount"_s, new TopLineLabel, 2400, 0, 7935, 240);
    Frame14 = frame(Frame2, u"Frame14"_s, u"順序"_s, 120, 240, 1095, 735);
    Label1 = add(Frame14, u"Label1"_s, new QLabel, 120, 240, 855, 375);
    Frame13 = frame(Frame2, u"Frame13"_s, u"処理"_s, 1320, 240, 2415, 735);
    const QStringList processes = {kCopyProcess, kMoveProcess, kDeleteProcess};
    for (size_t i = 0; i < Option1.size(); ++i) {
        Option1[i] = add(Frame13, u"Option1_%1"_s.arg(i),
                         new QRadioButton(processes[static_cast<qsizetype>(i)]),
                         120 + 720 * static_cast<double>(i), 300, 800, 255);
    }
    Frame8 = frame(Frame2, u"Frame8"_s, u"拡張子"_s, 3840, 240, 1215, 735);
    Text3 = add(Frame8, u"Text3"_s, new QLineEdit, 120, 240, 975, 375);
    Frame9 = frame(Frame2, u"Frame9"_s, u"残存日数"_s, 5160, 240, 1215, 735);
    Text2 = add(Frame9, u"Text2"_s, new QLineEdit, 120, 240, 975, 390);
    Command3 = add(Frame2, u"Command3"_s, new QPushButton(u"登録"_s), 6600, 360, 1155, 615);
    setFace(Command3, QColor(192, 255, 192));
    // This window's own addition: the rule in the editor changed in its place.
    ChangeButton = add(Frame2, u"ChangeButton"_s, new QPushButton(u"変更"_s), 7890, 360, 1155, 615);
    setFace(ChangeButton, QColor(192, 224, 255));
    ChangeButton->setToolTip(u"一覧で選んだ規則を、入力した内容に置き換える"_s);
    Command4 = add(Frame2, u"Command4"_s, new QPushButton(u"削除"_s), 9180, 360, 1155, 615);
    setFace(Command4, QColor(255, 192, 192));
    Frame1 = frame(Frame2, u"Frame1"_s, u"元ディレクトリ"_s, 120, 1080, 5055, 735);
    Text1 = add(Frame1, u"Text1"_s, new QLineEdit, 120, 240, 3975, 390);
    Command1 = add(Frame1, u"Command1"_s, new QPushButton(u"選択"_s), 4080, 240, 855, 375);
    Frame12 = frame(Frame2, u"Frame12"_s, u"先ディレクトリ"_s, 5280, 1080, 5055, 735);
    Text5 = add(Frame12, u"Text5"_s, new QLineEdit, 120, 240, 3975, 390);
    Command5 = add(Frame12, u"Command5"_s, new QPushButton(u"選択"_s), 4080, 240, 855, 375);
    for (QLineEdit* directory : {Text1, Text5}) {
        setColour(directory, {QPalette::Base}, QColor(255, 255, 192));
        // Disabled, a path must still be read: dark text on a pale face.
        QPalette palette = directory->palette();
        palette.setColor(QPalette::Disabled, QPalette::Base, QColor(244, 244, 232));
        palette.setColor(QPalette::Disabled, QPalette::Text, QColor(80, 80, 80));
        directory->setPalette(palette);
    }
    DataGrid1 = add(Frame2, u"DataGrid1"_s, grid(), 120, 1920, 10215, 2415);

    const QList<QWidget*> focusOrder = {
        Command2,  PreviewButton, Command7,   DataGrid2,  Check1[0],    Check1[1],
        Check1[2], Check1[3],     Check1[4],  Check1[5],  Check1[6],    Combo1,
        Combo2,    Text6,         Text4,      LoginStart, Text1,        Command1,
        Text3,     Text2,         DataGrid1,  Command3,   ChangeButton, Command4,
        Text5,     Command5,      Option1[0], Option1[1], Option1[2]};
    for (qsizetype i = 1; i < focusOrder.size(); ++i) {
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
    }
    // The search line, while open, comes between the operation buttons and the log.
    const QList<QWidget*> searchOrder = {Command7,          FilterBar->text, FilterBar->process,
                                         FilterBar->from,   FilterBar->to,   FilterBar->saveCsv,
                                         FilterBar->closer, DataGrid2};
    for (qsizetype i = 1; i < searchOrder.size(); ++i) {
        setTabOrder(searchOrder[i - 1], searchOrder[i]);
    }
    setFixedSize(twips(10740), twips(9480));
    // The window cannot grow, so it offers no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
}

void Form_sweeprun::applyStartupLayout() {
    // The outer frame, title bar included, takes the screen's height.
    m_layoutDecoration = decorationHeight();
    const double perPixel = 1440.0 / logicalDpiY();
    const WindowLayout layout =
        startupLayout(screen()->geometry().height() * perPixel, m_layoutDecoration * perPixel);
    const auto setHeight = [this](QWidget* widget, double top, double height) {
        widget->setGeometry(widget->x(), twips(top), widget->width(), twips(height));
    };
    move(x(), 0);
    setFixedSize(width(), twips(layout.windowHeight));
    setHeight(Frame10, layout.logTop, layout.logHeight);
    m_logGridHeight = twips(layout.logGridHeight);
    placeLogGrid();
    Frame4->move(Frame4->x(), twips(layout.scheduleTop));
    setHeight(Frame2, layout.rulesTop, layout.rulesHeight);
    DataGrid1->setGeometry(DataGrid1->x(), DataGrid1->y(), DataGrid1->width(),
                           twips(layout.ruleGridHeight));
}

void Form_sweeprun::placeLogGrid() {
    const int top = twips(240);
    const int bar = FilterBar->isVisible() ? FilterBar->height() + twips(60) : 0;
    DataGrid2->setGeometry(DataGrid2->x(), top + bar, DataGrid2->width(), m_logGridHeight - bar);
}

void Form_sweeprun::setEditorsEnabled(bool enable) {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Frame1, Frame2, Frame3, Frame4, Frame5, Frame6, Frame8,
                                         Frame9, Frame11, Frame12, Frame13, Frame14, Frame15}) {
        widget->setEnabled(enable);
    }
    for (QCheckBox* box : Check1) {
        box->setEnabled(enable);
    }
    for (QRadioButton* option : Option1) {
        option->setEnabled(enable);
    }
    for (QWidget* widget : std::initializer_list<QWidget*>{
             Combo1, Combo2, Text2, Text3, Text4, Text6, Command1, Command2, Command3, ChangeButton,
             Command4, Command5, DataGrid1}) {
        widget->setEnabled(enable);
    }
}

void Form_sweeprun::combo_set() {
    Combo1->clear();
    for (int hour = 0; hour <= 23; ++hour) {
        Combo1->addItem(twoDigits(QString::number(hour)));
    }
    for (int minute = 0; minute <= 59; ++minute) {
        Combo2->addItem(twoDigits(QString::number(minute)));
    }
}
