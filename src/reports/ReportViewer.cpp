#include "reports/ReportViewer.h"

#include "common/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <memory>

namespace xmlreport {

namespace {

struct DocFree
{
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

struct StyleFree
{
    void operator()(xsltStylesheetPtr style) const { xsltFreeStylesheet(style); }
};

struct ContextFree
{
    void operator()(xsltTransformContextPtr context) const { xsltFreeTransformContext(context); }
};

struct PrefsFree
{
    void operator()(xsltSecurityPrefsPtr prefs) const { xsltFreeSecurityPrefs(prefs); }
};

// libxml2 and libxslt write their complaints to stderr unless told otherwise; the viewer
// falls back to the plain document instead.
void quietly(void *, const char *, ...)
{
}

class QuietErrors
{
public:
    QuietErrors()
    {
        xmlSetGenericErrorFunc(nullptr, quietly);
        xsltSetGenericErrorFunc(nullptr, quietly);
    }
    ~QuietErrors()
    {
        xmlSetGenericErrorFunc(nullptr, nullptr);
        xsltSetGenericErrorFunc(nullptr, nullptr);
    }
    QuietErrors(const QuietErrors &) = delete;
    QuietErrors &operator=(const QuietErrors &) = delete;
};

// The href of the document's xml-stylesheet instruction, if any.
QString stylesheetHref(xmlDocPtr doc)
{
    for (xmlNodePtr node = doc->children; node; node = node->next) {
        if (node->type != XML_PI_NODE || xmlStrcmp(node->name, BAD_CAST "xml-stylesheet") != 0)
            continue;
        const QString data = QString::fromUtf8(reinterpret_cast<const char *>(node->content));
        const QString marker = QStringLiteral("href=\"");
        const qsizetype start = data.indexOf(marker);
        if (start < 0)
            return QString();
        const qsizetype end = data.indexOf(QLatin1Char('"'), start + marker.size());
        if (end < 0)
            return QString();
        return data.mid(start + marker.size(), end - start - marker.size());
    }
    return QString();
}

// Applies the stylesheet; empty when it cannot be read or applied. Writes, network access and
// new folders are refused to the stylesheet.
QString transform(xmlDocPtr doc, const QString &stylesheetPath)
{
    std::unique_ptr<xsltStylesheet, StyleFree> style(
        xsltParseStylesheetFile(BAD_CAST QFile::encodeName(stylesheetPath).constData()));
    if (!style)
        return QString();
    std::unique_ptr<xsltSecurityPrefs, PrefsFree> prefs(xsltNewSecurityPrefs());
    std::unique_ptr<xsltTransformContext, ContextFree> context(xsltNewTransformContext(style.get(), doc));
    if (!prefs || !context)
        return QString();
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
    if (xsltSetCtxtSecurityPrefs(prefs.get(), context.get()) != 0)
        return QString();
    DocPtr result(xsltApplyStylesheetUser(style.get(), doc, nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state != XSLT_STATE_OK)
        return QString();
    xmlChar *text = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&text, &length, result.get(), style.get()) != 0 || !text)
        return QString();
    const QString html = QString::fromUtf8(reinterpret_cast<const char *>(text), length);
    xmlFree(text);
    return html;
}

QString indentedText(xmlDocPtr doc)
{
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer)
        return QString();
    if (xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL)) {
        xmlSaveDoc(save, doc);
        xmlSaveClose(save);
    }
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    QString declaration = QStringLiteral("<?xml version=\"1.0\"");
    if (doc->standalone == 1)
        declaration += QStringLiteral(" standalone=\"yes\"");
    return declaration + QStringLiteral("?>\n") + text;
}

} // namespace

QString plainXmlHtml(const QString &xmlText)
{
    return QStringLiteral("<html><body><pre style=\"font-family: monospace;\">%1</pre></body></html>")
        .arg(xmlText.toHtmlEscaped());
}

QString reportHtml(const QString &xmlPath)
{
    QuietErrors quiet;
    DocPtr doc(xmlReadFile(QFile::encodeName(xmlPath).constData(), nullptr, XML_PARSE_NONET));
    if (!doc)
        throw AppError(QStringLiteral("The report [%1] could not be read.").arg(xmlPath));

    const QString href = stylesheetHref(doc.get());
    if (!href.isEmpty()) {
        const QString stylesheet = QFileInfo(xmlPath).dir().filePath(href);
        if (QFileInfo(stylesheet).isFile()) {
            const QString html = transform(doc.get(), stylesheet);
            if (!html.isEmpty())
                return html;
        }
    }
    return plainXmlHtml(indentedText(doc.get()));
}

} // namespace xmlreport
