-- Lookup tables of the hospital (PostgreSQL): departments and stores, users
-- (doctors and other staff), suppliers and manufacturers. Reports read a
-- name by id from them (TabFieldValue "name" where id='...'). Harmless to
-- run again.

-- Departments, including the pharmacies and stores that stock movements
-- name in YfCkID.
create table if not exists qev_pub_depa (
  id text primary key,
  name text
);

-- Users: doctors and other staff, with their department.
create table if not exists qev_pub_user (
  id text primary key,
  name text,
  DepaID text
);

-- Suppliers and manufacturers share one table of business partners.
create table if not exists qev_pub_xydw (
  id text primary key,
  name text
);
