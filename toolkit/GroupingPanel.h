#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QWidget>
#include <QMimeData>
#include <functional>

// The strip above a grid's header that takes column headers dragged into it. While nothing is
// grouped it shows a hint; otherwise one box per grouped column.
class GroupingPanel : public QWidget
{
    Q_OBJECT
public:
    // The drag of a header section carries its field name in this format (and as plain text).
    static QString fieldMimeType();

    explicit GroupingPanel(QWidget* parent = nullptr);

    void setHint(const QString& hint);
    QString hint() const { return m_hint; }
    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    // The hint is centred by the height of the grid's header font, not by its own font.
    void setHeaderFont(const QFont& font);
    // The grouped columns in grouping order: their field names and the captions shown.
    void setFields(const QStringList& fields, const QStringList& captions);
    QStringList fields() const { return m_fields; }
    QStringList captions() const { return m_captions; }
    // The grouping position a drop at `x` means: before the first box whose middle is right of it.
    int positionAt(int x) const;
    // Decides which dropped field names are taken; without it none are.
    void setAcceptField(std::function<bool(const QString&)> accept);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // A field dropped to be grouped at `position` (an already grouped one is moved there).
    void fieldDropped(const QString& field, int position);
    // A double click on the box of the grouped column at `index` (grouping order).
    void captionDoubleClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QString droppedField(const QMimeData* mime) const;
    QList<QRect> captionBoxes() const;

    QString m_hint;
    QColor m_color;
    QFont m_headerFont;
    QStringList m_fields;
    QStringList m_captions;
    int m_pressedBox = -1;
    QPoint m_pressPos;
    std::function<bool(const QString&)> m_accept;
};
