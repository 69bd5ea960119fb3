#include "ScriptedPrompt.h"
#include "about/AboutBox.h"
#include "db/DataAccess.h"
#include "editor/SqlEditor.h"
#include "editor/SqlLexer.h"
#include "query/Query.h"
#include "query/ResultModel.h"
#include "shell/Contrast.h"
#include "shell/ImageList.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

// The window under any desktop look: a dark palette and a high device pixel ratio (this test
// runs with QT_SCALE_FACTOR=2).
class TestDesktopLook : public QObject
{
    Q_OBJECT

    static QPalette darkPalette(const QColor &base, const QColor &text)
    {
        QPalette p;
        p.setColor(QPalette::Window, base.lighter(115));
        p.setColor(QPalette::WindowText, text);
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::AlternateBase, base.lighter(110));
        p.setColor(QPalette::Text, text);
        p.setColor(QPalette::Button, base.lighter(115));
        p.setColor(QPalette::ButtonText, text);
        p.setColor(QPalette::Highlight, QColor(42, 130, 218));
        p.setColor(QPalette::HighlightedText, Qt::black);
        return p;
    }

    static QPalette lightPalette(const QColor &base, const QColor &text)
    {
        QPalette p = QApplication::style()->standardPalette();
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::Text, text);
        return p;
    }

private slots:
    void contrastIsMeasuredAsTheGuidelinesDo_data()
    {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<double>("expected");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("same colour") << QColor(120, 40, 200) << QColor(120, 40, 200) << 1.0;
        QTest::newRow("order does not matter") << QColor(Qt::white) << QColor(0x76, 0x76, 0x76) << 4.54;
        QTest::newRow("mid grey on white") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.48;
        QTest::newRow("the light row shade on white") << QColor(245, 245, 245) << QColor(Qt::white) << 1.09;
    }

    void contrastIsMeasuredAsTheGuidelinesDo()
    {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(double, expected);
        QVERIFY2(qAbs(contrast::ratio(a, b) - expected) < 0.01,
                 qPrintable(QString::number(contrast::ratio(a, b))));
    }

    void rowShadeAndNullTextStayReadable_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<bool>("dark");
        QTest::newRow("light, the style's own") << QApplication::style()->standardPalette() << false;
        QTest::newRow("light, grey base") << lightPalette(QColor(236, 236, 236), QColor(20, 20, 20)) << false;
        QTest::newRow("dark grey") << darkPalette(QColor(0x2a, 0x2a, 0x2a), QColor(0xe0, 0xe0, 0xe0)) << true;
        QTest::newRow("black, dim text") << darkPalette(Qt::black, QColor(0xb0, 0xb0, 0xb0)) << true;
        QTest::newRow("dark blue") << darkPalette(QColor(0x1e, 0x22, 0x33), Qt::white) << true;
    }

    void rowShadeAndNullTextStayReadable()
    {
        QFETCH(QPalette, palette);
        QFETCH(bool, dark);
        const QColor base = palette.color(QPalette::Base);
        const QColor text = palette.color(QPalette::Text);
        const QColor shade = ResultModel::rowShade(palette);
        const QColor null = ResultModel::nullTextColor(palette);
        QCOMPARE(contrast::isDark(palette), dark);
        if (!dark)
            QCOMPARE(shade, QColor(245, 245, 245));
        // Shaded rows stand apart from the others at least as much as the light grey does on white.
        QVERIFY2(contrast::ratio(shade, base) >= contrast::ratio(QColor(245, 245, 245), Qt::white) || !dark,
                 qPrintable(shade.name()));
        QVERIFY(contrast::ratio(text, shade) >= contrast::readableText);
        QVERIFY2(contrast::ratio(null, base) >= contrast::readableText, qPrintable(null.name()));
        QVERIFY2(contrast::ratio(null, shade) >= contrast::readableText, qPrintable(null.name()));
        // ... and NULL still looks dimmer than a value.
        QVERIFY2(contrast::ratio(null, text) >= 1.5, qPrintable(null.name()));
        // The pictures' outlines keep the contrast of graphics on the window.
        QVERIFY(contrast::ratio(imagelist::outlineColor(palette), palette.color(QPalette::Window)) >= 3.0);
    }

    void resultGridFollowsThePaletteInUse()
    {
        ScriptedPrompt prompt;
        QTemporaryDir dir;
        QFile file(dir.filePath("t.db"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file.fileName());
        connection.open();
        Query query(&connection);
        query.setSql(QStringLiteral("SELECT 1 AS a UNION ALL SELECT NULL"));
        QVERIFY(query.run());
        ResultModel model(&query);
        const QPalette before = QApplication::palette();
        const QPalette dark = darkPalette(QColor(0x2a, 0x2a, 0x2a), QColor(0xe0, 0xe0, 0xe0));
        QApplication::setPalette(dark);
        const QModelIndex nullCell = model.index(1, 0);
        QCOMPARE(nullCell.data(Qt::BackgroundRole).value<QColor>(), ResultModel::rowShade(dark));
        QCOMPARE(nullCell.data(Qt::ForegroundRole).value<QColor>(), ResultModel::nullTextColor(dark));
        QApplication::setPalette(before);
        QCOMPARE(nullCell.data(Qt::BackgroundRole).value<QColor>(), QColor(245, 245, 245));
        QCOMPARE(nullCell.data(Qt::ForegroundRole).value<QColor>(), ResultModel::nullTextColor(before));
    }

    void sqlEditorTextReadsOnADarkPalette()
    {
        const QPalette before = QApplication::palette();
        QApplication::setPalette(darkPalette(QColor(0x2a, 0x2a, 0x2a), QColor(0xe0, 0xe0, 0xe0)));
        SqlEditor editor;
        QApplication::setPalette(before);
        SqlLexer *lexer = editor.sqlLexer();
        QCOMPARE(lexer->paper(SqlLexer::Default), QColor(0x2a, 0x2a, 0x2a));
        for (int style : {int(SqlLexer::Default), int(SqlLexer::Comment), int(SqlLexer::Keyword),
                          int(SqlLexer::FunctionStyle), int(SqlLexer::ExceptionStyle), int(SqlLexer::Number),
                          int(SqlLexer::SingleQuotedString)}) {
            const QColor ink = lexer->color(style);
            QVERIFY2(contrast::ratio(ink, lexer->paper(style)) >= contrast::readableText,
                     qPrintable(QString::number(style) + u' ' + ink.name()));
        }
        // Keywords keep a hue of their own, apart from plain text.
        QVERIFY(lexer->color(SqlLexer::Keyword) != lexer->color(SqlLexer::Default));
    }

    void iconsAreDrawnAtTheSizeTheScreenNeeds_data()
    {
        QTest::addColumn<qreal>("dpr");
        QTest::newRow("100 %") << 1.0;
        QTest::newRow("150 %") << 1.5;
        QTest::newRow("300 %") << 3.0;
    }

    void iconsAreDrawnAtTheSizeTheScreenNeeds()
    {
        QFETCH(qreal, dpr);
        const int side = qRound(16 * dpr);
        for (int i = 0; i < imagelist::Count; ++i) {
            const QPixmap shown = imagelist::icon(i).pixmap(QSize(16, 16), dpr);
            QCOMPARE(shown.size(), QSize(side, side));
            QCOMPARE(shown.deviceIndependentSize(), QSizeF(16, 16));
            // Drawn afresh at that size, not scaled from another one.
            const QImage direct = imagelist::render(side, imagelist::drawing(i), QApplication::palette());
            QImage image = shown.toImage().convertToFormat(direct.format());
            image.setDevicePixelRatio(1.0);
            QCOMPARE(image, direct);
        }
        QVERIFY(!imagelist::icon(imagelist::Run).pixmap(QSize(16, 16), dpr, QIcon::Disabled).isNull());
    }

    void aboutPicturesAndLinesFitTheirBoxesAtTwiceTheScale()
    {
        ScriptedPrompt prompt;
        AboutBox about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.devicePixelRatio(), 2.0);
        QTRY_COMPARE(about.banner->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(about.banner->pixmap().size(), QSize(400, 48));
        QCOMPARE(about.emblem->pixmap().size(), QSize(192, 192));
        for (QLabel *line :
             {about.productLine, about.descriptionLine, about.versionLine, about.copyrightLine}) {
            QVERIFY(line->fontMetrics().height() <= line->height());
            QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
        }
    }
};

QTEST_MAIN(TestDesktopLook)
#include "tst_desktoplook.moc"
