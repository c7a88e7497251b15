#include "toolkit/GroupingPanel.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kHintLeft = 10;
constexpr int kBoxGap = 6;
constexpr int kBoxPadding = 8;
}

QString GroupingPanel::fieldMimeType()
{
    return QStringLiteral("application/x-rubo-grid-field");
}

GroupingPanel::GroupingPanel(QWidget* parent)
    : QWidget(parent)
    , m_color(Qt::lightGray)
    , m_headerFont(font())
{
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void GroupingPanel::setHint(const QString& hint)
{
    m_hint = hint;
    update();
}

void GroupingPanel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void GroupingPanel::setHeaderFont(const QFont& font)
{
    m_headerFont = font;
    updateGeometry();
    update();
}

void GroupingPanel::setFields(const QStringList& fields, const QStringList& captions)
{
    m_fields = fields;
    m_captions = captions;
    while (m_captions.size() < m_fields.size())
        m_captions << m_fields.at(m_captions.size());
    m_captions = m_captions.mid(0, m_fields.size());
    update();
}

int GroupingPanel::positionAt(int x) const
{
    const QList<QRect> boxes = captionBoxes();
    for (int i = 0; i < boxes.size(); ++i) {
        if (x < boxes.at(i).center().x())
            return i;
    }
    return int(boxes.size());
}

void GroupingPanel::setAcceptField(std::function<bool(const QString&)> accept)
{
    m_accept = std::move(accept);
}

QSize GroupingPanel::sizeHint() const
{
    const int line = qMax(fontMetrics().height(), QFontMetrics(m_headerFont).height());
    return QSize(200, 2 * line + 8);
}

QSize GroupingPanel::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void GroupingPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_color.isValid() ? m_color : palette().color(QPalette::Window));

    if (m_captions.isEmpty()) {
        const int top = (height() - QFontMetrics(m_headerFont).height()) / 2;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(kHintLeft, top + painter.fontMetrics().ascent()), m_hint);
        return;
    }

    const QList<QRect> boxes = captionBoxes();
    for (int i = 0; i < boxes.size(); ++i) {
        const QRect& box = boxes.at(i);
        const QString& caption = m_captions.at(i);
        painter.fillRect(box, palette().color(QPalette::Button));
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(box, Qt::AlignCenter, caption);
    }
}

QList<QRect> GroupingPanel::captionBoxes() const
{
    const QFontMetrics fm = fontMetrics();
    const int boxHeight = fm.height() + 6;
    const int top = (height() - boxHeight) / 2;
    QList<QRect> boxes;
    int x = kHintLeft;
    for (const QString& caption : m_captions) {
        boxes << QRect(x, top, fm.horizontalAdvance(caption) + 2 * kBoxPadding, boxHeight);
        x = boxes.constLast().right() + 1 + kBoxGap;
    }
    return boxes;
}

void GroupingPanel::mousePressEvent(QMouseEvent* event)
{
    m_pressedBox = -1;
    const QList<QRect> boxes = captionBoxes();
    for (int i = 0; i < boxes.size(); ++i) {
        if (event->button() == Qt::LeftButton && boxes.at(i).contains(event->position().toPoint())) {
            m_pressedBox = i;
            m_pressPos = event->position().toPoint();
        }
    }
    QWidget::mousePressEvent(event);
}

void GroupingPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressedBox < 0 || m_pressedBox >= m_fields.size() || !(event->buttons() & Qt::LeftButton)
        || (event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // A box dragged back onto the grid ungroups its column, one dropped here moves it.
    const int box = m_pressedBox;
    m_pressedBox = -1;
    auto* mime = new QMimeData;
    mime->setData(fieldMimeType(), m_fields.at(box).toUtf8());
    mime->setText(m_fields.at(box));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QRect rect = captionBoxes().at(box);
    drag->setPixmap(grab(rect));
    drag->setHotSpot(m_pressPos - rect.topLeft());
    drag->exec(Qt::MoveAction);
}

void GroupingPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QList<QRect> boxes = captionBoxes();
    for (int i = 0; i < boxes.size(); ++i) {
        if (boxes.at(i).contains(event->position().toPoint())) {
            Q_EMIT captionDoubleClicked(i);
            return;
        }
    }
    QWidget::mouseDoubleClickEvent(event);
}

QString GroupingPanel::droppedField(const QMimeData* mime) const
{
    if (!mime)
        return {};
    QString field = mime->hasFormat(fieldMimeType()) ? QString::fromUtf8(mime->data(fieldMimeType()))
                                                     : mime->text();
    field = field.trimmed();
    if (field.isEmpty() || !m_accept || !m_accept(field))
        return {};
    return field;
}

void GroupingPanel::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedField(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void GroupingPanel::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedField(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void GroupingPanel::dropEvent(QDropEvent* event)
{
    const QString field = droppedField(event->mimeData());
    if (field.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT fieldDropped(field, positionAt(event->position().toPoint().x()));
}
