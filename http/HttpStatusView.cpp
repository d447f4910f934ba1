#include "HttpStatusView.h"

quint32 StatusColourRgb(THttpStatusColour colour) {
    switch (colour) {
    case THttpStatusColour::LightGrey:
        return 0xD3D3D3;
    case THttpStatusColour::Yellow:
        return 0xFFFF00;
    case THttpStatusColour::Red:
        return 0xFF0000;
    }
    return 0xD3D3D3;
}

THttpView::~THttpView() = default;
