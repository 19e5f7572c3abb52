#pragma once
// The deployment's lazy-load mode: which files an update package may leave for lazy loading.
// `LazyLoad` reads it from the settings once; the manifest clean-up is handed it to build the
// lazy-load list. A plain value, safe from any thread.

enum class LazyLoadMode { all, nonhtml, none };
