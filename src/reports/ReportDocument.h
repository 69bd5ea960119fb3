// The structure report document (OVS.xml), built with libxml2.
#pragma once

#include "query/ReportSink.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace xmlreport {

// The document DescribeTable writes its field elements into.
class ReportDocument : public ReportSink
{
public:
    // A document with its root element named after the database (see rootElementName) and
    // carrying the server version. Throws AppError when libxml2 cannot build it.
    ReportDocument(const QString &databaseName, const QString &serverVersion);
    ~ReportDocument() override;
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    // The xml-stylesheet instruction, placed before the root element.
    void addStylesheet(const QString &href);
    // Appends a table element to the root; it becomes the current table.
    void beginTable(const QString &name);
    // Appends a field element to the current table (throws when there is none), with the
    // attributes key (when it has one), null, size (when not empty), type, name in this order.
    void addField(const ReportField &field) override;

    // The whole file: the declaration without an encoding name, then the nodes in UTF-8.
    QByteArray toBytes() const;
    // Writes toBytes() to path, replacing any file there; throws AppError on failure.
    void save(const QString &path) const;

    QString rootName() const;

    // The database name without its extension (from the last "."), made a valid XML name:
    // characters a name cannot hold become "_", a name that cannot start as it does gets a
    // leading "_", and an empty name becomes "Database".
    static QString rootElementName(const QString &databaseName);

    // Attribute values are written so that any text makes valid XML and reads back exactly: a
    // character XML cannot hold (U+0000..U+001F other than tab, line feed and carriage return,
    // a lone surrogate, U+FFFE, U+FFFF) becomes "\u" and four upper-case hex digits, and a
    // backslash is doubled. attributeText does that; textFromAttribute undoes it.
    static QString attributeText(const QString &text);
    static QString textFromAttribute(const QString &written);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace xmlreport
