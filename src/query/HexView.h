#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>

// Bytes in hexadecimal, sixteen a line after their offset, with their ASCII beside them
// (a dot for anything else). Only the lines on show are drawn, so a value of any size opens at
// once.
class HexView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit HexView(QWidget *parent = nullptr);

    void setBytes(const QByteArray &bytes);
    const QByteArray &bytes() const { return m_bytes; }
    qsizetype lineCount() const { return (m_bytes.size() + bytesPerLine - 1) / bytesPerLine; }
    // Line n as it is drawn: "00000010  48 65 6c 6c 6f ...  |Hello...|".
    QString lineText(qsizetype line) const;

    static constexpr int bytesPerLine = 16;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateScrollBars();
    int lineHeight() const;

    QByteArray m_bytes;
};
