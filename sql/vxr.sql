-- The space register: locations (sites, buildings, floors, rooms) with their assets and attributes,
-- drawing layers and layouts, the exports to the planning tables, and the graphic reports.
-- Row-returning procedures are functions; the others are procedures.

-- Locations ---------------------------------------------------------------------------------------

CREATE TABLE location (
    id               serial PRIMARY KEY,
    type             char(1) NOT NULL,          -- r room, f floor, b building, s site
    parent_id        integer,
    name             varchar(255),
    code             varchar(255),
    status_exists    boolean NOT NULL DEFAULT false,
    status_duplicate boolean NOT NULL DEFAULT false,
    area             numeric(28, 10),
    handle           varchar(255),
    perimeter        numeric(28, 10),
    decimals         integer
);

CREATE FUNCTION "__to_getBlocksFromVXR"("parentID" integer)
RETURNS TABLE ("id" integer, "type" varchar, "parentid" integer, "name" varchar, "code" varchar,
               "status" varchar, "area" numeric, "handle" varchar, "perimeter" numeric)
LANGUAGE sql STABLE AS $$
    -- The status text reads "0" first for a location that exists, "1" second for a duplicate.
    SELECT l.id, l.type::varchar, l.parent_id, l.name, l.code,
           (CASE WHEN l.status_exists THEN '0' ELSE '1' END) ||
           (CASE WHEN l.status_duplicate THEN '1' ELSE '0' END),
           l.area, l.handle, l.perimeter
    FROM location l
    WHERE l.parent_id = "parentID"
    ORDER BY l.id;
$$;

-- Rooms and buildings: a location id of 0 (or one the register does not hold) creates the location
-- and hands its new id back.
CREATE FUNCTION vxr_set_space(kind char, loc integer, parent integer, nm varchar, cd varchar,
                              st_exists boolean, st_duplicate boolean, ar numeric, hd varchar,
                              per numeric, decs integer)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
    result integer;
BEGIN
    UPDATE location
       SET parent_id = parent, name = nm, code = cd, status_exists = coalesce(st_exists, false),
           status_duplicate = coalesce(st_duplicate, false), area = ar, handle = hd,
           perimeter = per, decimals = decs
     WHERE id = loc AND type = kind
    RETURNING id INTO result;
    IF result IS NULL THEN
        INSERT INTO location (type, parent_id, name, code, status_exists, status_duplicate,
                              area, handle, perimeter, decimals)
        VALUES (kind, parent, nm, cd, coalesce(st_exists, false), coalesce(st_duplicate, false),
                ar, hd, per, decs)
        RETURNING id INTO result;
    END IF;
    RETURN result;
END;
$$;

CREATE PROCEDURE "__to_setRoomBlockInVXR"(
    INOUT "locationID" integer, "parentID" integer, "name" varchar, "code" varchar,
    "statusExists" boolean, "statusDuplicate" boolean, "area" numeric, "handle" varchar,
    "perimeter" numeric, "precision" integer)
LANGUAGE plpgsql AS $$
BEGIN
    "locationID" := vxr_set_space('r', "locationID", "parentID", "name", "code", "statusExists",
                                  "statusDuplicate", "area", "handle", "perimeter", "precision");
END;
$$;

CREATE PROCEDURE "__to_setBuildingBlockInVXR"(
    INOUT "locationID" integer, "parentID" integer, "name" varchar, "code" varchar,
    "statusExists" boolean, "statusDuplicate" boolean, "area" numeric, "handle" varchar,
    "perimeter" numeric, "precision" integer)
LANGUAGE plpgsql AS $$
BEGIN
    "locationID" := vxr_set_space('b', "locationID", "parentID", "name", "code", "statusExists",
                                  "statusDuplicate", "area", "handle", "perimeter", "precision");
END;
$$;

-- Floors and sites are only updated: they are made in the register, not from drawings.
CREATE PROCEDURE "__to_setFloorBlockInVXR"(
    "locationID" integer, "area" numeric, "handle" varchar, "perimeter" numeric,
    "precision" integer)
LANGUAGE sql AS $$
    UPDATE location SET area = $2, handle = $3, perimeter = $4, decimals = $5
     WHERE id = $1 AND type = 'f';
$$;

CREATE PROCEDURE "__to_setSiteBlockInVXR"(
    "locationID" integer, "area" numeric, "handle" varchar, "perimeter" numeric,
    "precision" integer)
LANGUAGE sql AS $$
    UPDATE location SET area = $2, handle = $3, perimeter = $4, decimals = $5
     WHERE id = $1 AND type = 's';
$$;

-- Assets --------------------------------------------------------------------------------------------

CREATE TABLE asset_type (
    acad_block_identifier varchar(100) PRIMARY KEY,
    description           varchar(255),
    excluded_from_takeoff boolean NOT NULL DEFAULT false
);

CREATE TABLE asset (
    drawing_id            integer NOT NULL,
    handle                varchar(255) NOT NULL,
    location_id           integer,
    acad_block_identifier varchar(100),
    block_description     varchar(255),
    unique_description    varchar(255),
    point_x               numeric(28, 10),
    point_y               numeric(28, 10),
    exists_in_location    boolean NOT NULL DEFAULT true,
    PRIMARY KEY (drawing_id, handle)
);

CREATE TABLE asset_attribute (
    drawing_id integer NOT NULL,
    handle     varchar(255) NOT NULL,
    tag        varchar(255) NOT NULL,
    value      varchar(255),
    "exists"   boolean NOT NULL DEFAULT true,
    PRIMARY KEY (drawing_id, handle, tag)
);

-- Stores the asset and tells whether its type is excluded from take-off.
CREATE PROCEDURE "__to_applyAssetToVXR"(
    "locationID" integer, "drawingID" integer, "handle" varchar, "acadBlockIdentifier" varchar,
    "acadBlockDescription" varchar, "uniqueDescription" varchar, "pointX" numeric,
    "pointY" numeric, "assetExistsInLocation" boolean, OUT "excludedFromTakeoff" boolean)
LANGUAGE plpgsql AS $$
#variable_conflict use_column
BEGIN
    INSERT INTO asset (drawing_id, handle, location_id, acad_block_identifier, block_description,
                       unique_description, point_x, point_y, exists_in_location)
    VALUES ($2, $3, $1, $4, $5, $6, $7, $8, coalesce($9, false))
    ON CONFLICT (drawing_id, handle) DO UPDATE
        SET location_id = EXCLUDED.location_id,
            acad_block_identifier = EXCLUDED.acad_block_identifier,
            block_description = EXCLUDED.block_description,
            unique_description = EXCLUDED.unique_description,
            point_x = EXCLUDED.point_x, point_y = EXCLUDED.point_y,
            exists_in_location = EXCLUDED.exists_in_location;
    SELECT coalesce((SELECT t.excluded_from_takeoff FROM asset_type t
                      WHERE t.acad_block_identifier = $4), false)
      INTO "excludedFromTakeoff";
END;
$$;

CREATE PROCEDURE "__to_applyAssetAttributeToVXR"(
    "drawingID" integer, "handle" varchar, "tag" varchar, "value" varchar, "exists" boolean)
LANGUAGE sql AS $$
    INSERT INTO asset_attribute (drawing_id, handle, tag, value, "exists")
    VALUES ("drawingID", "handle", "tag", "value", coalesce("exists", false))
    ON CONFLICT (drawing_id, handle, tag) DO UPDATE
        SET value = EXCLUDED.value, "exists" = EXCLUDED."exists";
$$;

CREATE SCHEMA idr;

CREATE FUNCTION idr."getAssetAttributes"("drawingID" integer, "handle" varchar)
RETURNS TABLE ("aTag" varchar, "aValue" varchar)
LANGUAGE sql STABLE AS $$
    SELECT a.tag, a.value FROM asset_attribute a
     WHERE a.drawing_id = $1 AND a.handle = $2
     ORDER BY a.tag;
$$;

CREATE FUNCTION idr."getLocationAssets"("locationID" integer)
RETURNS TABLE ("drawingID" integer, "handle" varchar, "acadBlockIdentifier" varchar,
               "atDescription" varchar, "aDescription" varchar, "aX" numeric, "aY" numeric,
               "status" varchar)
LANGUAGE sql STABLE AS $$
    -- The kind's description where the register has one, else the one the drawing gave the asset.
    SELECT a.drawing_id, a.handle, a.acad_block_identifier, coalesce(t.description, a.block_description),
           a.unique_description,
           a.point_x, a.point_y, CASE WHEN a.exists_in_location THEN '1' ELSE '0' END
      FROM asset a LEFT JOIN asset_type t ON t.acad_block_identifier = a.acad_block_identifier
     WHERE a.location_id = "locationID"
     ORDER BY a.drawing_id, a.handle;
$$;

-- Exports to the planning tables ----------------------------------------------------------------------

CREATE TABLE tp_space (
    id                serial PRIMARY KEY,
    parent_id         integer,     -- rooms and buildings
    location_id       integer,     -- floors and sites
    name              varchar(255),
    code              varchar(255),
    area              numeric(28, 10),
    area_type         varchar(255),
    cost_centre       varchar(255),
    date              varchar(255),
    date_last_move    varchar(255),
    dept_charge       varchar(255),
    handle            varchar(255),
    perimeter         numeric(28, 10),
    room_height       numeric(28, 10),
    special_req       varchar(255),
    tag_type          varchar(255),
    tot_staff         varchar(255),
    tot_wk_stns       varchar(255),
    volume            numeric(28, 10),
    export_parameters varchar(255)
);

CREATE PROCEDURE "__to_exportSpaceBlockToTP"(
    "parentID" integer, "name" varchar, "code" varchar, "area" numeric, "areaType" varchar,
    "costCentre" varchar, "date" varchar, "dateLastMove" varchar, "deptCharge" varchar,
    "handle" varchar, "perimeter" numeric, "roomHeight" numeric, "specialReq" varchar,
    "tagType" varchar, "totStaff" varchar, "totWkStns" varchar, "volume" numeric,
    "exportParameters" varchar)
LANGUAGE sql AS $$
    INSERT INTO tp_space (parent_id, name, code, area, area_type, cost_centre, date,
                          date_last_move, dept_charge, handle, perimeter, room_height,
                          special_req, tag_type, tot_staff, tot_wk_stns, volume, export_parameters)
    VALUES ("parentID", "name", "code", "area", "areaType", "costCentre", "date", "dateLastMove",
            "deptCharge", "handle", "perimeter", "roomHeight", "specialReq", "tagType",
            "totStaff", "totWkStns", "volume", "exportParameters");
$$;

CREATE PROCEDURE "__to_exportGrossAreaBlocktoTP"(
    "locationID" integer, "area" numeric, "areaType" varchar, "costCentre" varchar,
    "date" varchar, "dateLastMove" varchar, "deptCharge" varchar, "handle" varchar,
    "perimeter" numeric, "roomHeight" numeric, "specialReq" varchar, "tagType" varchar,
    "totStaff" varchar, "totWkStns" varchar, "volume" numeric, "exportParameters" varchar)
LANGUAGE sql AS $$
    INSERT INTO tp_space (location_id, area, area_type, cost_centre, date, date_last_move,
                          dept_charge, handle, perimeter, room_height, special_req, tag_type,
                          tot_staff, tot_wk_stns, volume, export_parameters)
    VALUES ("locationID", "area", "areaType", "costCentre", "date", "dateLastMove", "deptCharge",
            "handle", "perimeter", "roomHeight", "specialReq", "tagType", "totStaff",
            "totWkStns", "volume", "exportParameters");
$$;

CREATE TABLE tp_asset (
    id                     serial PRIMARY KEY,
    location_id            integer,
    handle                 varchar(255),
    acad_block_identifier  varchar(100),
    acad_block_description varchar(255),
    unique_description     varchar(255),
    point_x                numeric(28, 10),
    point_y                numeric(28, 10),
    exists_in_location     boolean,
    export_parameters      varchar(255)
);

CREATE PROCEDURE "__to_tp_exportAsset"(
    "locationID" integer, "handle" varchar, "acadBlockIdentifier" varchar,
    "acadBlockDescription" varchar, "uniqueDescription" varchar, "pointX" numeric,
    "pointY" numeric, "assetExistsInLocation" boolean, "exportParameters" varchar)
LANGUAGE sql AS $$
    INSERT INTO tp_asset (location_id, handle, acad_block_identifier, acad_block_description,
                          unique_description, point_x, point_y, exists_in_location,
                          export_parameters)
    VALUES ("locationID", "handle", "acadBlockIdentifier", "acadBlockDescription",
            "uniqueDescription", "pointX", "pointY", "assetExistsInLocation", "exportParameters");
$$;

-- Drawing layers and layouts --------------------------------------------------------------------------

CREATE TABLE drawing_layer (
    id          serial PRIMARY KEY,
    attach_id   integer NOT NULL,
    name        varchar(255),
    description varchar(255),
    colour      smallint CHECK (colour BETWEEN 0 AND 255)
);

CREATE PROCEDURE "__to_addDrawingLayer"(
    "layerName" varchar, "layerDescription" varchar, "layerColour" smallint, "attachID" integer)
LANGUAGE sql AS $$
    INSERT INTO drawing_layer (attach_id, name, description, colour)
    VALUES ("attachID", "layerName", "layerDescription", "layerColour");
$$;

CREATE TABLE drawing_layout (
    id        serial PRIMARY KEY,
    attach_id integer NOT NULL,
    name      varchar(255)
);

CREATE PROCEDURE "__to_deleteDrawingLayouts"("attachID" integer)
LANGUAGE sql AS $$
    DELETE FROM drawing_layout WHERE attach_id = "attachID";
$$;

CREATE PROCEDURE "__to_addDrawingLayout"("layoutName" varchar, "attachID" integer)
LANGUAGE sql AS $$
    INSERT INTO drawing_layout (attach_id, name) VALUES ("attachID", "layoutName");
$$;

-- Graphic reports ---------------------------------------------------------------------------------------

CREATE TABLE graphic_report (
    id                 serial PRIMARY KEY,
    status_id          smallint NOT NULL DEFAULT 1,
    title              varchar(255),
    drawing_path       varchar(255),
    drawing_filename   varchar(255),
    plot_layout        varchar(255),
    plot_type_id       integer,
    plot_area_type_id  integer,
    plot_media_size_id integer,
    plot_scale_type_id integer,
    plot_centred       integer,
    output_path        varchar(255),
    output_filename    varchar(255),
    save_copy_to       varchar(255),
    xml_output_to      varchar(255),
    total_child_areas  double precision,
    claimed_by         varchar(255) -- the batch run that last set status 2
);

CREATE FUNCTION "__gr_getGraphicReports"("statusID" smallint)
RETURNS TABLE ("grID" integer)
LANGUAGE sql STABLE AS $$
    SELECT r.id FROM graphic_report r WHERE r.status_id = "statusID" ORDER BY r.id;
$$;

CREATE FUNCTION "__gr_getGraphicReport"("graphicReportID" integer)
RETURNS TABLE ("grTitle" varchar, "grDrawingPath" varchar, "grDrawingFilename" varchar,
               "grPlotLayout" varchar, "grPlotTypeID" integer, "grPlotAreaTypeID" integer,
               "grPlotMediaSizeID" integer, "grPlotScaleTypeID" integer, "grPlotCentred" integer,
               "grOutputPath" varchar, "grOutputFilename" varchar, "grSaveCopyTo" varchar,
               "grXMLOutputTo" varchar, "grTotalChildAreas" double precision)
LANGUAGE sql STABLE AS $$
    SELECT r.title, r.drawing_path, r.drawing_filename, r.plot_layout, r.plot_type_id,
           r.plot_area_type_id, r.plot_media_size_id, r.plot_scale_type_id, r.plot_centred,
           r.output_path, r.output_filename, r.save_copy_to, r.xml_output_to, r.total_child_areas
      FROM graphic_report r WHERE r.id = "graphicReportID";
$$;

-- The drawing of every report, whatever its status: a batch run writes over none of them.
CREATE FUNCTION "__gr_getGraphicReportDrawings"()
RETURNS TABLE ("grID" integer, "grDrawingPath" varchar, "grDrawingFilename" varchar)
LANGUAGE sql STABLE AS $$
    SELECT r.id, r.drawing_path, r.drawing_filename FROM graphic_report r ORDER BY r.id;
$$;

-- A batch run marks each of its register sessions as its own while the session lasts (a shared lock on
-- this key and its run's name): a report it finished is known as finished by a run still at work.
CREATE FUNCTION gr_run_key() RETURNS integer LANGUAGE sql IMMUTABLE AS 'SELECT 19283';

CREATE FUNCTION "__gr_markRunLive"("runID" varchar) RETURNS boolean LANGUAGE sql AS $$
    SELECT pg_try_advisory_lock_shared(gr_run_key(), hashtext("runID"));
$$;

CREATE FUNCTION gr_run_live("runID" varchar) RETURNS boolean LANGUAGE sql STABLE AS $$
    SELECT "runID" IS NOT NULL AND EXISTS (
        SELECT 1 FROM pg_locks l
         WHERE l.locktype = 'advisory' AND l.granted
           AND l.database = (SELECT d.oid FROM pg_database d WHERE d.datname = current_database())
           AND l.classid = gr_run_key()::oid AND l.objid = hashtext("runID")::oid AND l.objsubid = 2);
$$;

-- Every report's record with its status: what each would write is known to every batch run, so that a
-- file two reports waiting or in preparation name is written by one of them only, the same one in every
-- run. A report finished or failed names its files to no one once the run that prepared it has ended
-- ("grRunLive" tells whether it still works).
CREATE FUNCTION "__gr_getGraphicReportTargets"()
RETURNS TABLE ("grID" integer, "grStatusID" smallint, "grRunLive" boolean, "grTitle" varchar, "grDrawingPath" varchar, "grDrawingFilename" varchar,
               "grPlotLayout" varchar, "grPlotTypeID" integer, "grPlotAreaTypeID" integer,
               "grPlotMediaSizeID" integer, "grPlotScaleTypeID" integer, "grPlotCentred" integer,
               "grOutputPath" varchar, "grOutputFilename" varchar, "grSaveCopyTo" varchar,
               "grXMLOutputTo" varchar, "grTotalChildAreas" double precision)
LANGUAGE sql STABLE AS $$
    SELECT r.id, r.status_id, gr_run_live(r.claimed_by), r.title, r.drawing_path, r.drawing_filename, r.plot_layout, r.plot_type_id,
           r.plot_area_type_id, r.plot_media_size_id, r.plot_scale_type_id, r.plot_centred,
           r.output_path, r.output_filename, r.save_copy_to, r.xml_output_to, r.total_child_areas
      FROM graphic_report r ORDER BY r.id;
$$;

-- Claims are marked by a session-level advisory lock (this key and the report's id) as well as by
-- status 2: the lock lasts while the claiming run's server session does, so a report at 2 whose lock
-- is free was left by a run that is gone.
CREATE FUNCTION gr_claim_key() RETURNS integer LANGUAGE sql IMMUTABLE AS 'SELECT 19282';

CREATE FUNCTION gr_claim_held("graphicReportID" integer) RETURNS boolean LANGUAGE sql STABLE AS $$
    SELECT EXISTS (SELECT 1 FROM pg_locks l
                    WHERE l.locktype = 'advisory' AND l.pid = pg_backend_pid() AND l.granted
                      AND l.classid = gr_claim_key()::oid AND l.objid = "graphicReportID"::oid
                      AND l.objsubid = 2);
$$;

-- A status other than 2 ends the preparation: this session's claim on the report is given up.
CREATE PROCEDURE "__gr_setGraphicReportStatus"("graphicReportID" integer, "statusID" integer)
LANGUAGE plpgsql AS $$
BEGIN
    UPDATE graphic_report SET status_id = "statusID" WHERE id = "graphicReportID";
    IF "statusID" <> 2 AND gr_claim_held("graphicReportID") THEN
        PERFORM pg_advisory_unlock(gr_claim_key(), "graphicReportID");
    END IF;
END;
$$;

-- Claims a report for one batch run: "preparation started" (2) is set only while the report still has
-- the status the run listed it under (any status but 2 when the status is -1), and only when no live
-- run holds its claim. A report listed at 2 whose claiming run is gone is taken over ("takenOver").
-- Two runs sharing the register both try; the row lock lets one through at a time, and the advisory
-- lock keeps a live run's claim its own. A run that claims a report again (its answer was lost with
-- its session, and the call ran again on a new one) finds its own claim, named by "runID".
CREATE PROCEDURE "__gr_claimGraphicReport"("graphicReportID" integer, "statusID" integer,
                                           OUT "claimed" boolean, OUT "takenOver" boolean, "runID" varchar)
LANGUAGE plpgsql AS $$
DECLARE
    held constant boolean := gr_claim_held("graphicReportID"); -- by this session already
    current smallint;
    owner varchar;
BEGIN
    "claimed" := false;
    "takenOver" := false;
    SELECT status_id, claimed_by INTO current, owner FROM graphic_report WHERE id = "graphicReportID" FOR UPDATE;
    IF NOT FOUND THEN
        RETURN;
    END IF;
    IF current = 2 AND owner = "runID" THEN
        -- This run's own claim; the lock stays with the session that took it while that one lasts.
        IF NOT held THEN
            PERFORM pg_try_advisory_lock(gr_claim_key(), "graphicReportID");
        END IF;
        "claimed" := true;
        RETURN;
    END IF;
    IF NOT held AND NOT pg_try_advisory_lock(gr_claim_key(), "graphicReportID") THEN
        RETURN; -- a live run holds it
    END IF;
    IF (current = "statusID" OR ("statusID" < 0 AND current <> 2)) AND NOT (held AND current = 2) THEN
        UPDATE graphic_report SET status_id = 2, claimed_by = "runID" WHERE id = "graphicReportID";
        "claimed" := true;
        "takenOver" := current = 2;
    ELSIF NOT held THEN
        PERFORM pg_advisory_unlock(gr_claim_key(), "graphicReportID");
    END IF;
END;
$$;

CREATE PROCEDURE "__gr_setGraphicReportLayout"("graphicReportID" integer, "layout" varchar)
LANGUAGE sql AS $$
    UPDATE graphic_report SET plot_layout = "layout" WHERE id = "graphicReportID";
$$;

CREATE TABLE report_category (
    id            serial PRIMARY KEY,
    report_id     integer NOT NULL REFERENCES graphic_report (id) ON DELETE CASCADE,
    title         varchar(255),
    hatch_pattern varchar(255),
    hatch_angle   double precision,
    hatch_colour  varchar(7),        -- "#RRGGBB"
    hatch_scale   double precision,
    hatch_layer   varchar(255)
);

CREATE FUNCTION "__gr_getReportCategories"("graphicReportID" integer)
RETURNS TABLE ("cID" integer, "cTitle" varchar, "cHatchPattern" varchar,
               "cHatchAngle" double precision, "cHatchColour" varchar,
               "cHatchScale" double precision, "cHatchLayer" varchar)
LANGUAGE sql STABLE AS $$
    SELECT c.id, c.title, c.hatch_pattern, c.hatch_angle, c.hatch_colour, c.hatch_scale,
           c.hatch_layer
      FROM report_category c WHERE c.report_id = "graphicReportID" ORDER BY c.id;
$$;

CREATE TABLE report_layer_on (
    id          serial PRIMARY KEY,
    report_id   integer NOT NULL REFERENCES graphic_report (id) ON DELETE CASCADE,
    name        varchar(255),
    description varchar(255)
);

CREATE FUNCTION "__gr_getReportLayersOn"("graphicReportID" integer)
RETURNS TABLE ("loName" varchar, "loDescription" varchar)
LANGUAGE sql STABLE AS $$
    SELECT l.name, l.description FROM report_layer_on l
     WHERE l.report_id = "graphicReportID" ORDER BY l.id;
$$;

CREATE TABLE report_link_line (
    id           serial PRIMARY KEY,
    report_id    integer NOT NULL REFERENCES graphic_report (id) ON DELETE CASCADE,
    start_handle varchar(255),
    end_handle   varchar(255),
    layer_name   varchar(255),
    label_text   varchar(255)
);

CREATE FUNCTION "__gr_getReportLinkLines"("graphicReportID" integer)
RETURNS TABLE ("llStartHandle" varchar, "llEndHandle" varchar, "llLayerName" varchar,
               "llLabelText" varchar)
LANGUAGE sql STABLE AS $$
    SELECT l.start_handle, l.end_handle, l.layer_name, l.label_text FROM report_link_line l
     WHERE l.report_id = "graphicReportID" ORDER BY l.id;
$$;

CREATE TABLE category_block (
    id          serial PRIMARY KEY,
    category_id integer NOT NULL REFERENCES report_category (id) ON DELETE CASCADE,
    handle      varchar(255),
    name        varchar(255),
    code        varchar(255),
    area        double precision,
    swap_name   varchar(255),
    swap_area   varchar(255),
    swap_aux    varchar(255)
);

CREATE FUNCTION "__gr_getCategoryBlocks"("categoryID" integer)
RETURNS TABLE ("mbHandle" varchar, "mbName" varchar, "mbCode" varchar, "mbArea" double precision,
               "mbSwapName" varchar, "mbSwapArea" varchar, "mbSwapAux" varchar)
LANGUAGE sql STABLE AS $$
    SELECT b.handle, b.name, b.code, b.area, b.swap_name, b.swap_area, b.swap_aux
      FROM category_block b WHERE b.category_id = "categoryID" ORDER BY b.id;
$$;

CREATE TABLE category_asset (
    id                 serial PRIMARY KEY,
    category_id        integer NOT NULL REFERENCES report_category (id) ON DELETE CASCADE,
    handle             varchar(255),
    description        varchar(255),
    unique_description varchar(255)
);

CREATE FUNCTION "__gr_getCategoryAssets"("categoryID" integer)
RETURNS TABLE ("maHandle" varchar, "maDescription" varchar, "maUniqueDescription" varchar)
LANGUAGE sql STABLE AS $$
    SELECT a.handle, a.description, a.unique_description
      FROM category_asset a WHERE a.category_id = "categoryID" ORDER BY a.id;
$$;

-- Hyperlinks of the blocks and assets a category marks (both read as "bh" columns).
CREATE TABLE category_hyperlink (
    id          serial PRIMARY KEY,
    category_id integer NOT NULL REFERENCES report_category (id) ON DELETE CASCADE,
    kind        char(1) NOT NULL CHECK (kind IN ('b', 'a')),   -- block or asset
    handle      varchar(255) NOT NULL,
    href        varchar(255),
    description varchar(255)
);

CREATE FUNCTION "__gr_getBlockHyperlinks"("categoryID" integer, "handle" varchar)
RETURNS TABLE ("bhHref" varchar, "bhDescription" varchar)
LANGUAGE sql STABLE AS $$
    SELECT h.href, h.description FROM category_hyperlink h
     WHERE h.category_id = "categoryID" AND h.kind = 'b' AND h.handle = $2 ORDER BY h.id;
$$;

CREATE FUNCTION "__gr_getAssetHyperlinks"("categoryID" integer, "handle" varchar)
RETURNS TABLE ("bhHref" varchar, "bhDescription" varchar)
LANGUAGE sql STABLE AS $$
    SELECT h.href, h.description FROM category_hyperlink h
     WHERE h.category_id = "categoryID" AND h.kind = 'a' AND h.handle = $2 ORDER BY h.id;
$$;
