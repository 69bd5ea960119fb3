#include "query/BlobViewer.h"

#include "common/SafeFile.h"
#include "query/BlobKind.h"
#include "query/HexView.h"
#include "query/ResultModel.h"
#include "shell/Language.h"
#include "shell/MessageDialog.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

BlobViewer::BlobViewer(QWidget *parent)
    : QDialog(parent)
    , m_summary(new QLabel(this))
    , m_pages(new QTabWidget(this))
    , m_hex(new HexView(this))
    , m_imageArea(new QScrollArea(this))
    , m_image(new QLabel(this))
    , m_save(new QPushButton(this))
    , m_load(new QPushButton(this))
    , m_close(new QPushButton(this))
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    m_image->setAlignment(Qt::AlignCenter);
    m_imageArea->setWidget(m_image);
    m_imageArea->setWidgetResizable(true);
    m_imageArea->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_pages, 1);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_save, QDialogButtonBox::ActionRole);
    buttons->addButton(m_load, QDialogButtonBox::ActionRole);
    buttons->addButton(m_close, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(m_save, &QPushButton::clicked, this, &BlobViewer::saveToFile);
    connect(m_load, &QPushButton::clicked, this, &BlobViewer::loadFromFile);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    resize(720, 480);
}

QString BlobViewer::summary() const
{
    return m_summary->text();
}

bool BlobViewer::showsImage() const
{
    return m_pages->indexOf(m_imageArea) >= 0 && m_image->pixmap().width() > 0;
}

void BlobViewer::showValue(const QString &column, const QByteArray &bytes, bool loadable)
{
    const GridTexts &t = uiTexts().grid;
    m_column = column;
    m_bytes = bytes;
    m_loadable = loadable;
    setWindowTitle(t.valueCaption.arg(column));
    m_summary->setText(ResultModel::blobText(bytes, bytes.size()));
    m_hex->setBytes(bytes);
    m_hex->setAccessibleName(t.hexPage);
    m_pages->clear();
    m_image->clear();
    // The picture first when the bytes make one.
    QImage image;
    if (blobkind::isImage(blobkind::detect(bytes.first(qMin(bytes.size(), blobkind::headerSize)))) &&
        image.loadFromData(bytes)) {
        m_image->setPixmap(QPixmap::fromImage(image));
        m_image->setAccessibleName(t.imagePage);
        m_pages->addTab(m_imageArea, t.imagePage);
    }
    m_pages->addTab(m_hex, t.hexPage);
    m_pages->setCurrentIndex(0);
    m_save->setText(t.saveValue);
    m_load->setText(t.loadValue);
    m_load->setVisible(loadable);
    m_close->setText(t.closeViewer);
}

bool BlobViewer::saveToFile()
{
    const GridTexts &t = uiTexts().grid;
    FileDialogOptions options;
    options.caption = t.saveValueCaption;
    options.fileName = m_column;
    options.filter = t.allFiles;
    const std::optional<QString> file = prompt().saveFileName(this, options);
    if (!file || file->isEmpty())
        return false;
    QString error;
    if (!replaceFileAtomically(*file, m_bytes, newUserFileMode(), &error)) {
        showMessageDialog(t.fileFailed.arg(*file, error), mtError, mbOK, 0, this);
        return false;
    }
    emit notice(t.valueSaved.arg(*file).arg(m_bytes.size()));
    return true;
}

bool BlobViewer::loadFromFile()
{
    const GridTexts &t = uiTexts().grid;
    FileDialogOptions options;
    options.caption = t.loadValueCaption;
    options.filter = t.allFiles;
    const std::optional<QString> file = prompt().openFileName(this, options);
    if (!file || file->isEmpty())
        return false;
    QFile in(*file);
    if (!in.open(QIODevice::ReadOnly)) {
        showMessageDialog(t.fileFailed.arg(*file, in.errorString()), mtError, mbOK, 0, this);
        return false;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        showMessageDialog(t.fileFailed.arg(*file, in.errorString()), mtError, mbOK, 0, this);
        return false;
    }
    showValue(m_column, bytes, m_loadable);
    emit loaded(bytes, *file);
    emit notice(t.valueLoaded.arg(*file).arg(bytes.size()));
    return true;
}
