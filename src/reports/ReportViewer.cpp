#include "reports/ReportViewer.h"

#include "common/AppError.h"
#include "common/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlsave.h>
#include <libxslt/documents.h>
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

// Everything the stylesheet may read (the report, the stylesheet itself, what they include or
// open with document()) lies in this folder; set for the span of one rendering.
QString g_readableFolder;

// The local file a URI names, or empty for anything else (network addresses above all).
QString localPath(const xmlChar *uri)
{
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(uri));
    if (text.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        text = text.mid(7);
        if (!text.startsWith(QLatin1Char('/')))
            return QString(); // file://host/...
        char *unescaped = xmlURIUnescapeString(text.toUtf8().constData(), 0, nullptr);
        if (!unescaped)
            return QString();
        text = QString::fromUtf8(unescaped);
        xmlFree(unescaped);
    } else if (text.contains(QLatin1String("://")) || text.startsWith(QLatin1String("file:"))) {
        return QString();
    }
    return text;
}

bool readable(const QString &path)
{
    if (g_readableFolder.isEmpty() || path.isEmpty())
        return false;
    // Symlinks resolved: a link inside the folder may not lead out of it.
    const QString real = QFileInfo(path).canonicalFilePath();
    return !real.isEmpty() && QFileInfo(real).isFile() &&
           real.startsWith(g_readableFolder + QLatin1Char('/'));
}

int checkRead(xsltSecurityPrefsPtr, xsltTransformContextPtr, const char *value)
{
    return readable(localPath(BAD_CAST value)) ? 1 : 0;
}

// Documents are parsed without network access, without entities replaced and without any
// DTD loaded; one that declares a DTD at all is refused.
constexpr int kSafeParseOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA;

DocPtr parseSafely(const QByteArray &bytes, const QByteArray &url, xmlDictPtr dict)
{
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (!parser)
        return nullptr;
    if (dict) {
        if (parser->dict)
            xmlDictFree(parser->dict);
        parser->dict = dict;
        xmlDictReference(dict);
    }
    DocPtr doc(xmlCtxtReadMemory(parser, bytes.constData(), int(bytes.size()), url.constData(), nullptr,
                                 kSafeParseOptions));
    xmlFreeParserCtxt(parser);
    if (doc && (doc->intSubset || doc->extSubset))
        return nullptr;
    return doc;
}

DocPtr loadFile(const QString &path, xmlDictPtr dict)
{
    if (!readable(path))
        return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    return parseSafely(file.readAll(), QUrl::fromLocalFile(path).toEncoded(), dict);
}

// What libxslt loads for xsl:include, xsl:import and document().
xmlDocPtr loadForStylesheet(const xmlChar *uri, xmlDictPtr dict, int, void *, xsltLoadType)
{
    return loadFile(localPath(uri), dict).release();
}

// Entities and DTDs that a parser would fetch from outside: never.
xmlParserInputPtr refuseEntity(const char *, const char *, xmlParserCtxtPtr)
{
    return nullptr;
}

// Puts the loaders and the security preferences of one rendering in place, and the previous
// ones back afterwards.
class LockedDown
{
public:
    explicit LockedDown(const QString &folder)
        : m_previousEntityLoader(xmlGetExternalEntityLoader())
        , m_previousPrefs(xsltGetDefaultSecurityPrefs())
        , m_prefs(xsltNewSecurityPrefs())
    {
        g_readableFolder = folder;
        xmlSetExternalEntityLoader(refuseEntity);
        xsltSetLoaderFunc(loadForStylesheet);
        if (m_prefs) {
            xsltSetSecurityPrefs(m_prefs.get(), XSLT_SECPREF_READ_FILE, checkRead);
            for (const xsltSecurityOption option : {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                                    XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
                xsltSetSecurityPrefs(m_prefs.get(), option, xsltSecurityForbid);
            // xsl:import and xsl:include are checked against the default preferences.
            xsltSetDefaultSecurityPrefs(m_prefs.get());
        }
    }
    ~LockedDown()
    {
        xsltSetDefaultSecurityPrefs(m_previousPrefs);
        xsltSetLoaderFunc(nullptr);
        xmlSetExternalEntityLoader(m_previousEntityLoader);
        g_readableFolder.clear();
    }
    LockedDown(const LockedDown &) = delete;
    LockedDown &operator=(const LockedDown &) = delete;

    xsltSecurityPrefsPtr prefs() const { return m_prefs.get(); }

private:
    xmlExternalEntityLoader m_previousEntityLoader;
    xsltSecurityPrefsPtr m_previousPrefs;
    std::unique_ptr<xsltSecurityPrefs, PrefsFree> m_prefs;
};

// Applies the stylesheet; empty when it cannot be read or applied. The stylesheet reads
// nothing outside the report's folder, writes nothing, creates no folder and reaches no
// network.
QString transform(xmlDocPtr doc, const QString &stylesheetPath, const LockedDown &lock)
{
    if (!lock.prefs())
        return QString();
    DocPtr styleDoc = loadFile(stylesheetPath, nullptr);
    if (!styleDoc)
        return QString();
    // On success the stylesheet owns its document.
    std::unique_ptr<xsltStylesheet, StyleFree> style(xsltParseStylesheetDoc(styleDoc.get()));
    if (!style)
        return QString();
    styleDoc.release();
    std::unique_ptr<xsltTransformContext, ContextFree> context(xsltNewTransformContext(style.get(), doc));
    if (!context || xsltSetCtxtSecurityPrefs(lock.prefs(), context.get()) != 0)
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
    const QFileInfo info(xmlPath);
    const QString folder = info.dir().canonicalPath();
    LockedDown lock(folder);
    DocPtr doc = loadFile(xmlPath, nullptr);
    if (!doc)
        throw AppError(QStringLiteral("The report [%1] could not be read.").arg(xmlPath));

    // Only a stylesheet beside the report, in a folder nobody else can write to.
    const QString href = stylesheetHref(doc.get());
    if (!href.isEmpty() && !href.contains(QLatin1Char('/')) && isPrivateFolder(folder)) {
        const QString html = transform(doc.get(), QDir(folder).filePath(href), lock);
        if (!html.isEmpty())
            return html;
    }
    return plainXmlHtml(indentedText(doc.get()));
}

} // namespace xmlreport
