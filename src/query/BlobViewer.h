#pragma once

#include <QByteArray>
#include <QDialog>

class HexView;
class QLabel;
class QPushButton;
class QScrollArea;
class QTabWidget;

// A binary value of the result grid: its kind and size, its bytes in hexadecimal and, for an
// image, the picture. Save writes the value to a file; Load (offered in an editable grid) reads
// one, which the grid puts into the record as a pending change. File names are asked through
// the Prompt; a file is replaced in one step (replaceFileAtomically).
class BlobViewer : public QDialog
{
    Q_OBJECT

public:
    explicit BlobViewer(QWidget *parent = nullptr);

    void showValue(const QString &column, const QByteArray &bytes, bool loadable);
    const QByteArray &bytes() const { return m_bytes; }
    bool showsImage() const;
    HexView *hexView() const { return m_hex; }
    QLabel *imageLabel() const { return m_image; }
    QString summary() const;

    // The buttons' work. False when nothing was written or read (no file chosen, or it failed:
    // then an error dialog says why).
    bool saveToFile();
    bool loadFromFile();

signals:
    // A file was read into the value.
    void loaded(const QByteArray &bytes, const QString &fileName);
    // A line for the message log.
    void notice(const QString &text);

private:
    QString m_column;
    QByteArray m_bytes;
    bool m_loadable = false;
    QLabel *m_summary;
    QTabWidget *m_pages;
    HexView *m_hex;
    QScrollArea *m_imageArea;
    QLabel *m_image;
    QPushButton *m_save;
    QPushButton *m_load;
    QPushButton *m_close;
};
