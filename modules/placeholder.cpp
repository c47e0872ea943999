// Keeps the module object library non-empty while no family folder holds a module yet.
