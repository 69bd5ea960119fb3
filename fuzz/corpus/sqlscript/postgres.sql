CREATE FUNCTION f() RETURNS trigger AS $b$ BEGIN RETURN NEW; END; $b$ LANGUAGE plpgsql;
\restrict k
COPY t FROM stdin;
1	x
\.
SELECT E'a\'b', "Q""x" FROM t /* a /* b */ */;
