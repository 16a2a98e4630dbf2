#pragma once
// STUB: Windows-1252 text.
