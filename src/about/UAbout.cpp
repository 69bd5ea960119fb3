#include "about/UAbout.h"

#include "about/AboutPictures.h"
#include "about/LegalNotice.h"
#include "about/VersInfo.h"
#include "shell/Guard.h"
#include "shell/Prompt.h"
#include "shell/texts/UiTexts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include <functional>

TAbout *About = nullptr;

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

QString TAbout::siteUrl()
{
    return QStringLiteral("https://pelmora.example/");
}

TAbout::TAbout(QWidget *parent)
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

    Image1 = new PictureLabel(this, QRect(10, 10, 200, 24), aboutpictures::banner);
    // The banner shows the product's name; a screen reader says it.
    Image1->setAccessibleName(texts::applicationTitle());
    Image2 = new PictureLabel(this, QRect(245, 10, 96, 96), aboutpictures::emblem);

    Label1 = lineLabel(this, 40);
    Label2 = lineLabel(this, 55);
    Label3 = lineLabel(this, 70);
    Label4 = lineLabel(this, 85);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(10, 125, 331, 66);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::ClickFocus);
    Memo1->setTabChangesFocus(true);
    Memo1->setBackgroundVisible(false);
    Memo1->document()->setDocumentMargin(0);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, memoPalette.color(QPalette::Window));
    Memo1->setPalette(memoPalette);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(270, 200, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    // Created right after the button: the tab order is Button1, then LinkLabel1.
    LinkLabel1 = new QLabel(this);
    LinkLabel1->setGeometry(10, 100, 104, 17);
    LinkLabel1->setTextFormat(Qt::RichText);
    LinkLabel1->setText(QStringLiteral("<a href=\"%1\">pelmora.example</a>").arg(siteUrl()));
    LinkLabel1->setToolTip(siteUrl());
    LinkLabel1->setOpenExternalLinks(false);
    LinkLabel1->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    LinkLabel1->setFocusPolicy(Qt::StrongFocus);
    connect(LinkLabel1, &QLabel::linkActivated, this,
            [this](const QString &link) { guarded([&] { LinkLabel1LinkClick(link); }); });

    setTabOrder(Button1, LinkLabel1);
    Button1->setFocus();

    FormCreate();
}

void TAbout::FormCreate()
{
    for (QLabel *label : {Label1, Label2, Label3, Label4})
        label->clear();
    // A record that cannot be read ends the filling here; the box keeps what it has.
    guarded([this] {
        TVersionInfo info;
        info.OpenFile(QString());
        Label1->setText(info.ProductName());
        Label2->setText(info.FileDescription());
        m_fileVersion = info.FileVersion();
        Label3->setText(QStringLiteral("Version ") + m_fileVersion);
        Label4->setText(QStringLiteral("Copyright ") + info.LegalCopyRight());
        info.Close();
        Memo1->setPlainText(legalNotice(true));
    });
}

void TAbout::LinkLabel1LinkClick(const QString &link)
{
    prompt().openUrl(QUrl(link));
}
