// The presentation program's object model over COM automation: each object is an IDispatch
// pointer whose members are called by name.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <memory>

#include "platform/automation.h"

// Interface identifiers of the presentation program's object library; they share all but the
// first field. ColorFormat is called as plain IDispatch.
constexpr IID PresentationLibraryIid(unsigned long first) {
    return IID{first, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};
}
constexpr IID kApplicationIid = PresentationLibraryIid(0x91493442);
constexpr IID kPresentationIid = PresentationLibraryIid(0x9149349D);
constexpr IID kSlidesIid = PresentationLibraryIid(0x91493450);
constexpr IID kSlideShowSettingsIid = PresentationLibraryIid(0x9149345A);
constexpr IID kSlideShowWindowIid = PresentationLibraryIid(0x91493453);
constexpr IID kSlideShowViewIid = PresentationLibraryIid(0x91493459);
constexpr IID kDocumentWindowIid = PresentationLibraryIid(0x91493457);
constexpr IID kSelectionIid = PresentationLibraryIid(0x91493454);
constexpr IID kSlideRangeIid = PresentationLibraryIid(0x9149346B);

// The application object behind `application`, which keeps a reference of its own (the caller
// keeps its own). Empty for a null pointer. Every object reached from it releases its
// reference when its last shared_ptr goes.
std::shared_ptr<_Application> WrapApplication(IDispatch* application);
