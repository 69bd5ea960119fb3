<?xml version="1.0" encoding="UTF-8"?>
<!--
  Renders the structure report (OVS.xml) as one HTML page: the database as the title, one
  section per table with a row per field. Kept to plain HTML 4 tables and simple CSS so the
  program's report page shows it as written, and to black, white and greys so it prints well.

  Names and other attribute values reach this sheet as the program writes them: a character
  that XML cannot hold (U+0000 to U+001F other than tab, line feed and carriage return, a lone
  surrogate, U+FFFE, U+FFFF) stands as a backslash, "u" and four upper-case hex digits
  ("\u0001"), and a backslash in the name itself is doubled ("dom\\user"). Undo the two
  rules, in one left-to-right pass, to get the name back exactly.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"
              doctype-public="-//W3C//DTD HTML 4.01//EN"
              doctype-system="http://www.w3.org/TR/html4/strict.dtd"/>

  <xsl:template match="/*">
    <html>
      <head>
        <title><xsl:value-of select="name()"/></title>
        <style type="text/css">
          body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; font-size: 10pt;
                 color: #000000; background-color: #ffffff; }
          h1 { font-size: 17pt; font-weight: bold; margin-bottom: 2px; }
          h2 { font-size: 12pt; font-weight: bold; margin-top: 18px; margin-bottom: 4px; }
          p.facts { color: #444444; margin-top: 0px; margin-bottom: 10px; }
          p.empty { color: #666666; font-style: italic; }
          table.fields { border-collapse: collapse; border-color: #999999; border-style: solid; }
          th { background-color: #e4e4e4; font-weight: bold; text-align: left; border-color: #999999; }
          td { border-color: #bbbbbb; vertical-align: top; }
          tr.shade td { background-color: #f5f5f5; }
          td.key { font-weight: bold; }
          td.number { text-align: right; }
          span.count { color: #666666; font-size: 9pt; font-weight: normal; }
        </style>
      </head>
      <body>
        <h1><xsl:value-of select="name()"/></h1>
        <p class="facts">
          <xsl:if test="string(@version) != ''">
            <xsl:value-of select="@version"/>
            <xsl:text> · </xsl:text>
          </xsl:if>
          <xsl:value-of select="count(table)"/>
          <xsl:choose>
            <xsl:when test="count(table) = 1"> table</xsl:when>
            <xsl:otherwise> tables</xsl:otherwise>
          </xsl:choose>
        </p>
        <xsl:apply-templates select="table"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="table">
    <h2>
      <xsl:value-of select="@name"/>
      <xsl:text> </xsl:text>
      <span class="count">
        <xsl:text>(</xsl:text>
        <xsl:value-of select="count(field)"/>
        <xsl:choose>
          <xsl:when test="count(field) = 1"> column)</xsl:when>
          <xsl:otherwise> columns)</xsl:otherwise>
        </xsl:choose>
      </span>
    </h2>
    <xsl:choose>
      <xsl:when test="field">
        <table class="fields" width="100%" border="1" cellspacing="0" cellpadding="4">
          <thead>
            <tr>
              <th width="26%">Name</th>
              <th width="18%" nowrap="nowrap">Type</th>
              <th width="7%" nowrap="nowrap">Size</th>
              <th width="10%" nowrap="nowrap">Null</th>
              <th width="7%" nowrap="nowrap">Key</th>
              <th>References</th>
            </tr>
          </thead>
          <tbody>
            <xsl:apply-templates select="field"/>
          </tbody>
        </table>
      </xsl:when>
      <xsl:otherwise>
        <p class="empty">No columns.</p>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="field">
    <tr>
      <xsl:if test="position() mod 2 = 0">
        <xsl:attribute name="class">shade</xsl:attribute>
      </xsl:if>
      <td><xsl:value-of select="@name"/></td>
      <td nowrap="nowrap"><xsl:value-of select="@type"/></td>
      <td class="number" nowrap="nowrap"><xsl:value-of select="@size"/></td>
      <td nowrap="nowrap">
        <xsl:choose>
          <xsl:when test="@null = 'true'">null</xsl:when>
          <xsl:otherwise>not null</xsl:otherwise>
        </xsl:choose>
      </td>
      <td class="key" nowrap="nowrap">
        <xsl:choose>
          <xsl:when test="@key = 'primary'">PK</xsl:when>
          <xsl:when test="starts-with(@key, 'foreign ref ')">FK</xsl:when>
          <xsl:otherwise><xsl:value-of select="@key"/></xsl:otherwise>
        </xsl:choose>
      </td>
      <td><xsl:value-of select="substring-after(@key, 'foreign ref ')"/></td>
    </tr>
  </xsl:template>
</xsl:stylesheet>
