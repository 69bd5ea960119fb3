#pragma once

#include <QString>

// One column of a table as the structure report writes it: the attributes of one "field"
// element, in the order they are set. An empty size means no size attribute.
struct ReportField
{
    QString key; // "primary" or "foreign ref T.C"; meaningful only when hasKey
    bool hasKey = false;
    QString null; // "true" or "false"
    QString size;
    QString type;
    QString name;
};

// Where DescribeTable writes in report mode; the report writer implements it.
class ReportSink
{
public:
    virtual ~ReportSink() = default;
    virtual void addField(const ReportField &field) = 0;
};
