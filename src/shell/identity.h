#pragma once

// The program's name, version and desktop entry, as the platform should know them.
void SetApplicationIdentity();
