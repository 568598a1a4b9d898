-- The three tables of the phone system's database that Linetally reads, with the column
-- types the phone system uses.
CREATE TABLE public.calldetails (
    id serial PRIMARY KEY,
    callid text,
    info text
);

CREATE TABLE public.dnallocation (
    id serial PRIMARY KEY,
    value text,
    kind integer NOT NULL
);

CREATE TABLE public.callhistory2 (
    id serial PRIMARY KEY,
    from_no text,
    to_no text,
    dur interval,
    starttime timestamp
);
CREATE INDEX callhistory2_from_day ON public.callhistory2 (from_no, (date(starttime)));
CREATE INDEX callhistory2_to_day ON public.callhistory2 (to_no, (date(starttime)));
