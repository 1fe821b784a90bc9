#pragma once

// The show document: value types, derived rules and the project file's JSON form.
#include "cue.h"
#include "curvehandles.h"
#include "enums.h"
#include "lighting.h"
#include "mediaasset.h"
#include "polygondistance.h"
#include "projectormapping.h"
#include "screenrole.h"
#include "show.h"
#include "showjson.h"
#include "timelineevent.h"
#include "timelinelane.h"
