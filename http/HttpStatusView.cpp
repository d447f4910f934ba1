#include "HttpStatusView.h"

THttpView::~THttpView() = default;
