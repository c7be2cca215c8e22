-- Module-registration database: which of the maker's modules are installed and running.

CREATE TABLE module (
    name          varchar(12) PRIMARY KEY,
    description   varchar(255),
    version       varchar(16),
    build_date    timestamp,
    running       boolean NOT NULL DEFAULT false,
    last_started  timestamp,
    registered_at timestamp NOT NULL DEFAULT now()
);

-- Records a module's details; a second registration of the same name replaces them.
CREATE PROCEDURE "__mod_setModDetails"(
    "moduleName" varchar,
    "moduleDescription" varchar,
    "moduleVersion" varchar,
    "moduleDate" timestamp)
LANGUAGE sql AS $$
    INSERT INTO module (name, description, version, build_date)
    VALUES ("moduleName", "moduleDescription", "moduleVersion", "moduleDate")
    ON CONFLICT (name) DO UPDATE
        SET description = EXCLUDED.description,
            version = EXCLUDED.version,
            build_date = EXCLUDED.build_date,
            registered_at = now();
$$;

-- Marks a module as running; an unregistered module gets a row of its own.
CREATE PROCEDURE "__mod_setModRunning"("MODNAME" varchar)
LANGUAGE sql AS $$
    INSERT INTO module (name, running, last_started)
    VALUES ("MODNAME", true, now())
    ON CONFLICT (name) DO UPDATE SET running = true, last_started = now();
$$;
