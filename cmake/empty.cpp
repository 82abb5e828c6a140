// Placeholder source for a library whose folder has no source yet.
