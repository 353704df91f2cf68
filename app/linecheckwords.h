#pragma once

#include "linecheck/verdicts.h"

#include <QList>
#include <QString>

namespace app {

// The line check's findings in the window's words (Chinese, English through the translation):
// the check's name, its level, the figure behind it, what to do, and a summary to read out.
QString LineCheckTitle(linecheck::Check check);
QString LineCheckLevel(linecheck::Level level);
QString LineCheckFigure(const linecheck::Finding &finding);
QString LineCheckAdvice(const linecheck::Finding &finding);
QString LineCheckSummary(const QList<linecheck::Finding> &findings);

} // namespace app
