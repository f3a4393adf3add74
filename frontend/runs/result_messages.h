#pragma once

#include "ivqa.h"

#include <QString>

// The error texts the front end shows for a CoreResult; empty for a code
// that shows none (IQ_ABORTED among them: the user asked for the abort).
QString archiveResultMessage(CoreResult code);
// The wipe worker shows fewer: 2, 5 and 6 cannot come from the wipe engine.
QString wipeResultMessage(CoreResult code);
