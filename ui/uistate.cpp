#include "ui/uistate.h"

UiState gUi;
