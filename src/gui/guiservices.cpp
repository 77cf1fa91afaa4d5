#include "gui/guiservices.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "core/model/configmodel.h"

// The images live in the library's resources, which a static library must register itself.
static void RegisterImages() {
    Q_INIT_RESOURCE(images);
}

namespace cfg {

namespace {

QMessageBox::Icon BoxIcon(Icon icon) {
    switch (icon) {
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

std::optional<QString> Choose(QWidget* parent, const QString& folder,
                              QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, kProgramTitle, folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    // The save window asks about overwriting itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void BoxMessages::Show(const QString& text, Icon icon) {
    QMessageBox box(BoxIcon(icon), kProgramTitle, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool BoxMessages::Ask(const QString& text, Icon icon, Default preset) {
    QMessageBox box(BoxIcon(icon), kProgramTitle, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(preset == Default::Yes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString OwnerName(int owner) {
    return owner == 0 ? QStringLiteral("Sistema") : QStringLiteral("Balanza %1").arg(owner);
}

QString ScaleLabel(const ConfigModel& model, int number) {
    for (const ScaleEntry& scale : model.Scales())
        if (scale.number == number)
            return QStringLiteral("Balanza %1 (Mostrador %2)").arg(number).arg(scale.mostrador);
    return OwnerName(number);
}

QString ChangeLine(const ValueChange& c) {
    return QStringLiteral("%1 · %2 %3: %4 → %5")
        .arg(OwnerName(c.owner))
        .arg(c.id)
        .arg(c.text, c.before, c.after);
}

void SetUpWindow(QDialog& window, const QString& name) {
    window.setObjectName(name);
    window.setWindowTitle(kProgramTitle);
    window.setAttribute(Qt::WA_DeleteOnClose);
    QPalette palette = window.palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    window.setPalette(palette);
}

QLabel* NewStatus(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("LblEstado"));
    label->setWordWrap(true);
    return label;
}

QPushButton* NewButton(QWidget* parent, const QString& caption, const QString& name) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : buttons) row->addWidget(b);
    return row;
}

QTreeWidget* NewTable(QWidget* parent, const QString& name, const QStringList& headers) {
    auto* table = new QTreeWidget(parent);
    table->setObjectName(name);
    table->setRootIsDecorated(false);
    table->setUniformRowHeights(true);
    table->setHeaderLabels(headers);
    // Each column as wide as its texts; the last one takes what the window gives more.
    table->header()->setStretchLastSection(true);
    table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void ShowChanges(QTreeWidget* table, const std::vector<ValueChange>& changes, const QString& before,
                 const QString& after) {
    table->clear();
    table->setHeaderLabels({QStringLiteral("Dueño"), QStringLiteral("Item"), before, after});
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(changes.size()));
    for (const ValueChange& c : changes)
        rows.append(
            new QTreeWidgetItem({OwnerName(c.owner), QStringLiteral("%1 %2").arg(c.id).arg(c.text),
                                 c.before, c.after}));
    table->addTopLevelItems(rows);
}

std::optional<SendScope> BoxMessages::AskSend(const QString& text,
                                              const std::vector<ValueChange>& changes,
                                              SendScope scope) {
    QMessageBox box(QMessageBox::Question, kProgramTitle, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    QPushButton* changed = nullptr;
    if (!changes.empty()) {
        box.setInformativeText(
            QStringLiteral("%1 items cambiaron desde la lectura.").arg(changes.size()));
        // Enough to see what a send changes; a whole network loaded from a file is summed up.
        constexpr std::size_t kShown = 2000;
        QStringList lines;
        for (std::size_t i = 0; i < std::min(changes.size(), kShown); ++i)
            lines.append(ChangeLine(changes[i]));
        if (changes.size() > kShown)
            lines.append(QStringLiteral("... y %1 más").arg(changes.size() - kShown));
        box.setDetailedText(lines.join(u'\n'));
        changed = box.addButton(QStringLiteral("Solo cambios (%1)").arg(changes.size()),
                                QMessageBox::AcceptRole);
        // Enter sends what changed, not everything: minutes against seconds on a large network.
        box.setDefaultButton(changed);
    } else {
        box.setDefaultButton(scope == SendScope::All ? QMessageBox::Yes : QMessageBox::No);
    }
    box.exec();
    if (changed && box.clickedButton() == changed) return SendScope::Changed;
    if (box.clickedButton() == box.button(QMessageBox::Yes)) return SendScope::All;
    return std::nullopt;
}

std::optional<QString> DialogFileChooser::ChooseSave(QWidget* parent, const QString& folder) {
    return Choose(parent, folder, QFileDialog::AcceptSave);
}

std::optional<QString> DialogFileChooser::ChooseOpen(QWidget* parent, const QString& folder) {
    return Choose(parent, folder, QFileDialog::AcceptOpen);
}

KeyFilter::KeyFilter(QLineEdit* box, Filter filter)
    : QObject(box), box_(box), filter_(std::move(filter)) {
    box->installEventFilter(this);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != box_) return false;
    // Typing replaces what the box held; after the click that gave the focus, not before it.
    if (event->type() == QEvent::FocusIn) {
        QTimer::singleShot(0, box_, &QLineEdit::selectAll);
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        default:
            break;
    }
    const QString text = key->text();
    if (text.isEmpty()) return false;  // arrows, Delete, Home...
    const int code = text.front().unicode();
    const int kept = filter_(code);
    if (kept == code) return false;
    if (kept != 0) box_->insert(QString(QChar(kept)));
    return true;
}

PacedLabel::PacedLabel(QLabel& label, int ms) : label_(label) {
    timer_.setSingleShot(true);
    timer_.setInterval(ms);
    connect(&timer_, &QTimer::timeout, this, [this] { Show(text_, false); });
}

void PacedLabel::Show(const QString& text, bool paced) {
    text_ = text;
    if (paced &&
        (timer_.isActive() || (shown_.isValid() && shown_.elapsed() < timer_.interval()))) {
        if (!timer_.isActive()) timer_.start();
        return;
    }
    timer_.stop();
    label_.setText(text_);
    shown_.start();
}

void PacedLabel::Stop() {
    timer_.stop();
}

void Pinta_Fondo(QPainter& painter, int width, int height) {
    constexpr int kBand = 50;
    constexpr double kStart[3] = {12, 81, 179};
    // Each component's divisor, kept within 1 to 20 as the shading routine always did.
    constexpr int kDivisor[3] = {1, 1, 1};
    if (width <= 0 || height <= 0) return;
    double colour[3] = {kStart[0], kStart[1], kStart[2]};
    for (int y = height; y > -kBand; y -= kBand) {
        int rgb[3];
        for (int c = 0; c < 3; ++c) {
            const int divisor = std::clamp(kDivisor[c], 1, 20);
            rgb[c] = std::clamp(static_cast<int>(colour[c] / divisor), 0, 255);
            colour[c] += (0 - kStart[c]) * kBand / height;
        }
        painter.fillRect(0, y - kBand, width, kBand, QColor(rgb[0], rgb[1], rgb[2]));
    }
}

QHash<QString, QIcon> LoadTreeImages() {
    RegisterImages();
    QHash<QString, QIcon> images;
    for (const char* key :
         {"balanza", "valorno", "mos", "g386", "hard", "menu", "mundo", "sistema", "valor"}) {
        const QString name = QString::fromLatin1(key);
        QSvgRenderer renderer(QStringLiteral(":/imagenes/%1.svg").arg(name));
        QIcon icon;
        for (int size : {16, 32}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            renderer.render(&painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
        images.insert(name, icon);
    }
    return images;
}

}  // namespace cfg
