#pragma once

#include <QString>
#include <QStringView>

// HTML helpers for article bodies.

// & < > " become entities; U+0000 is dropped.   "a<b" -> "a&lt;b"
QString escapeHtml(QStringView text);
void appendEscaped(QString &out, QStringView text);

// Plain text as HTML: escaped, every line break (CR LF, LF, CR) -> <br>.
//   "a\nb<c" -> "a<br>b&lt;c"
QString plainTextToHtml(QStringView text);

// Source HTML made safe to show: script, style, iframe, object, embed and
// similar elements are removed (script and style with their content), event
// handler attributes (on...) and javascript: addresses are dropped, and a
// "<" that starts no tag is escaped.
//   "<b>x</b><script>alert(1)</script>" -> "<b>x</b>"
//   "a < b" -> "a &lt; b"     "<img src=x onerror=f()>" -> "<img src=x>"
QString sanitizeHtml(QStringView html);

// The text a reader sees: tags dropped (script and style with their content),
// entities decoded, <br>, <p>, <div>, <li>, <tr> and <hr> -> line breaks.
//   "<b>ДОМ</b><br>жилище &amp; кров" -> "ДОМ\nжилище & кров"
QString htmlToPlainText(QStringView html);
