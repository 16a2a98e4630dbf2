#pragma once
// STUB: default files, load and save.
