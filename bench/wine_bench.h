#pragma once

void RegisterWineBenchmarks();
