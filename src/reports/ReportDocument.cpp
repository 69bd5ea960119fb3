#include "reports/ReportDocument.h"

#include "common/AppError.h"
#include "common/SafeFile.h"

#include <QList>

#include <libxml/tree.h>
#include <libxml/xmlsave.h>

namespace xmlreport {

namespace {

const xmlChar *xml(const QByteArray &utf8)
{
    return reinterpret_cast<const xmlChar *>(utf8.constData());
}

bool isNameStartChar(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

// Colons are left out on purpose: in a root name they would read as a namespace prefix.
bool isNameChar(char32_t c)
{
    return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

[[noreturn]] void failDocument()
{
    throw AppError(QStringLiteral("The report document could not be built."));
}

} // namespace

struct ReportDocument::Private
{
    xmlDocPtr doc = nullptr;
    xmlNodePtr root = nullptr;
    xmlNodePtr table = nullptr;
    QString rootName;
};

QString ReportDocument::rootElementName(const QString &databaseName)
{
    QString base = databaseName;
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        base.truncate(dot);
    QString name;
    for (const char32_t c : base.toUcs4())
        name += isNameChar(c) ? QString::fromUcs4(&c, 1) : QStringLiteral("_");
    if (name.isEmpty())
        return QStringLiteral("Database");
    if (!isNameStartChar(name.toUcs4().front()))
        name.prepend(QLatin1Char('_'));
    return name;
}

QString ReportDocument::attributeText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pairStart =
            QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pairStart) {
            out += text[i];
            out += text[++i];
        } else if (c == u'\\') {
            out += QLatin1String("\\\\");
        } else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || QChar::isSurrogate(c) ||
                   c == 0xFFFE || c == 0xFFFF) {
            out += QLatin1String("\\u") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
        } else {
            out += text[i];
        }
    }
    return out;
}

QString ReportDocument::textFromAttribute(const QString &written)
{
    QString out;
    out.reserve(written.size());
    for (qsizetype i = 0; i < written.size(); ++i) {
        if (written[i] != u'\\' || i + 1 >= written.size()) {
            out += written[i];
        } else if (written[i + 1] == u'\\') {
            out += u'\\';
            ++i;
        } else if (written[i + 1] == u'u' && i + 6 <= written.size()) {
            bool ok = false;
            const ushort code = QStringView(written).mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 5;
            } else {
                out += written[i];
            }
        } else {
            out += written[i];
        }
    }
    return out;
}

ReportDocument::ReportDocument(const QString &databaseName, const QString &serverVersion)
    : d(std::make_unique<Private>())
{
    d->doc = xmlNewDoc(BAD_CAST "1.0");
    if (!d->doc)
        failDocument();
    d->doc->standalone = 1;
    d->rootName = rootElementName(databaseName);
    d->root = xmlNewDocNode(d->doc, nullptr, xml(d->rootName.toUtf8()), nullptr);
    if (!d->root)
        failDocument();
    xmlDocSetRootElement(d->doc, d->root);
    if (!xmlNewProp(d->root, BAD_CAST "version", xml(attributeText(serverVersion).toUtf8())))
        failDocument();
}

ReportDocument::~ReportDocument()
{
    if (d->doc)
        xmlFreeDoc(d->doc);
}

QString ReportDocument::rootName() const
{
    return d->rootName;
}

void ReportDocument::addStylesheet(const QString &href)
{
    const QByteArray data = QStringLiteral("type=\"text/xsl\" href=\"%1\"").arg(href).toUtf8();
    xmlNodePtr pi = xmlNewDocPI(d->doc, BAD_CAST "xml-stylesheet", xml(data));
    if (!pi)
        failDocument();
    if (!xmlAddPrevSibling(d->root, pi)) {
        xmlFreeNode(pi);
        failDocument();
    }
}

void ReportDocument::beginTable(const QString &name)
{
    xmlNodePtr table = xmlNewChild(d->root, nullptr, BAD_CAST "table", nullptr);
    if (!table || !xmlNewProp(table, BAD_CAST "name", xml(attributeText(name).toUtf8())))
        failDocument();
    d->table = table;
}

void ReportDocument::addField(const ReportField &field)
{
    if (!d->table)
        throw AppError(QStringLiteral("The report has no current table element."));
    xmlNodePtr node = xmlNewChild(d->table, nullptr, BAD_CAST "field", nullptr);
    if (!node)
        failDocument();
    auto set = [node](const char *attribute, const QString &value) {
        if (!xmlNewProp(node, BAD_CAST attribute, xml(attributeText(value).toUtf8())))
            failDocument();
    };
    if (field.hasKey)
        set("key", field.key);
    set("null", field.null);
    if (!field.size.isEmpty())
        set("size", field.size);
    set("type", field.type);
    set("name", field.name);
}

QByteArray ReportDocument::toBytes() const
{
    // libxml2 names the encoding in the declaration whenever it is asked for UTF-8, so the
    // declaration is written here and the serializer writes the nodes only.
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer)
        failDocument();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL);
    if (!save) {
        xmlBufferFree(buffer);
        failDocument();
    }
    const long written = xmlSaveDoc(save, d->doc);
    xmlSaveClose(save);
    QByteArray bytes("<?xml version=\"1.0\" standalone=\"yes\"?>\n");
    bytes.append(reinterpret_cast<const char *>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    if (written < 0)
        failDocument();
    return bytes;
}

void ReportDocument::save(const QString &path) const
{
    QString error;
    if (!replaceFileAtomically(path, toBytes(), 0600, &error))
        throw AppError(QStringLiteral("The report could not be saved to [%1]: %2.").arg(path, error));
}

} // namespace xmlreport
