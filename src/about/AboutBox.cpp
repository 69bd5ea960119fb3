#include "about/AboutBox.h"

#include "about/AboutPictures.h"
#include "about/LegalNotice.h"
#include "about/VersionInfo.h"
#include "shell/Guard.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include <functional>

namespace {

// A picture painted in code for the screen it is on: drawn again at the device pixel ratio of
// the moment, so it is never a scaled copy.
class PictureLabel : public QLabel
{
public:
    PictureLabel(QWidget *parent, const QRect &geometry, std::function<QPixmap(qreal)> draw)
        : QLabel(parent), m_draw(std::move(draw))
    {
        setGeometry(geometry);
        setAttribute(Qt::WA_TranslucentBackground);
        setPixmap(m_draw(qGuiApp ? qGuiApp->devicePixelRatio() : 1.0));
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        const qreal dpr = devicePixelRatioF();
        if (!qFuzzyCompare(pixmap().devicePixelRatio(), dpr))
            setPixmap(m_draw(dpr));
        QLabel::paintEvent(event);
    }

private:
    std::function<QPixmap(qreal)> m_draw;
};

QLabel *lineLabel(QWidget *parent, int top)
{
    auto *label = new QLabel(parent);
    label->setGeometry(10, top, 331, 13);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

QString AboutBox::siteUrl()
{
    return QStringLiteral("https://pelmora.example/");
}

AboutBox::AboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About this software"));
    setFixedSize(355, 235);
    // The form's own font: small enough for its 13-pixel lines.
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    setFont(formFont);

    banner = new PictureLabel(this, QRect(10, 10, 200, 24), aboutpictures::banner);
    // The banner shows the product's name; a screen reader says it.
    banner->setAccessibleName(texts::applicationTitle());
    emblem = new PictureLabel(this, QRect(245, 10, 96, 96), aboutpictures::emblem);

    productLine = lineLabel(this, 40);
    descriptionLine = lineLabel(this, 55);
    versionLine = lineLabel(this, 70);
    copyrightLine = lineLabel(this, 85);

    legalText = new QPlainTextEdit(this);
    legalText->setGeometry(10, 125, 331, 66);
    legalText->setReadOnly(true);
    legalText->setFrameShape(QFrame::NoFrame);
    legalText->setFocusPolicy(Qt::ClickFocus);
    legalText->setTabChangesFocus(true);
    legalText->setBackgroundVisible(false);
    legalText->document()->setDocumentMargin(0);
    legalText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memoPalette = legalText->palette();
    memoPalette.setColor(QPalette::Base, memoPalette.color(QPalette::Window));
    legalText->setPalette(memoPalette);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(270, 200, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    // Created right after the button: the tab order is okButton, then siteLink.
    siteLink = new QLabel(this);
    siteLink->setGeometry(10, 100, 104, 17);
    siteLink->setTextFormat(Qt::RichText);
    siteLink->setText(QStringLiteral("<a href=\"%1\">pelmora.example</a>").arg(siteUrl()));
    siteLink->setToolTip(siteUrl());
    siteLink->setOpenExternalLinks(false);
    siteLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    siteLink->setFocusPolicy(Qt::StrongFocus);
    connect(siteLink, &QLabel::linkActivated, this,
            [this](const QString &link) { guarded([&] { openSite(link); }); });

    setTabOrder(okButton, siteLink);
    okButton->setFocus();

    readVersionRecord();
}

void AboutBox::applyTexts(const UiTexts &texts)
{
    setWindowTitle(texts.aboutCaption);
    const UiTexts &other = &texts == &englishTexts() ? portugueseTexts() : englishTexts();
    versionLine->setText(
        versionLine->text().replace(other.versionWord, texts.versionWord, Qt::CaseInsensitive));
    legalText->setPlainText(texts.legalNotice);
}

void AboutBox::readVersionRecord()
{
    for (QLabel *label : {productLine, descriptionLine, versionLine, copyrightLine})
        label->clear();
    // A record that cannot be read ends the filling here; the box keeps what it has.
    guarded([this] {
        VersionInfo info;
        info.OpenFile(QString());
        productLine->setText(info.ProductName());
        descriptionLine->setText(info.FileDescription());
        m_fileVersion = info.FileVersion();
        versionLine->setText(QStringLiteral("Version ") + m_fileVersion);
        copyrightLine->setText(QStringLiteral("Copyright ") + info.LegalCopyRight());
        info.Close();
        legalText->setPlainText(legalNotice(true));
    });
}

void AboutBox::openSite(const QString &link)
{
    prompt().openUrl(QUrl(link));
}
