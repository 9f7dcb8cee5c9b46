#pragma once

#include <QString>

// The program's web site, named in the About box and in the address it opens.
inline const QString SiteHost = QStringLiteral("glossa.ru");
